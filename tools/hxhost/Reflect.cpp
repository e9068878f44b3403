#include "Reflect.h"

#include "Commands.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace hxhost {

namespace {

struct Member {
    std::string name;
    Lattice::MemberRef ref;
};

class CollectMembers : public Lattice::MemberVisitor {
public:
    bool visit(const char* name, const Lattice::MemberRef& ref) override {
        members.push_back({name, ref});
        return false;
    }
    std::vector<Member> members;
};

class FindMember : public Lattice::MemberVisitor {
public:
    explicit FindMember(std::string name) : name_(std::move(name)) {}
    bool visit(const char* name, const Lattice::MemberRef& ref) override {
        if (name_ != name)
            return false;
        found = ref;
        return true;
    }
    std::optional<Lattice::MemberRef> found;

private:
    std::string name_;
};

constexpr int kMaxDepth = 12;

Json toJsonAt(const Lattice::Data& value, int depth);

Json objectToJson(const Lattice::Base* object, int depth) {
    if (!object)
        return nullptr;
    if (const auto* list = dynamic_cast<const Lattice::ObjectCollection*>(object)) {
        Json array = Json::array();
        for (const Lattice::Data& element : *list)
            array.push_back(toJsonAt(element, depth + 1));
        return array;
    }
    Json out = Json::object();
    out["_class"] = object->className().c_str();
    if (const auto* bytes = dynamic_cast<const Lattice::BaseObject64*>(object)) {
        out["length"] = bytes->length();
        return out;
    }
    auto* reflected = dynamic_cast<Lattice::Object*>(const_cast<Lattice::Base*>(object));
    if (!reflected || depth > kMaxDepth)
        return out;
    CollectMembers members;
    reflected->reflect(members);
    for (const Member& m : members.members)
        out[m.name] = toJsonAt(Lattice::Object::read(m.ref), depth + 1);
    return out;
}

Json toJsonAt(const Lattice::Data& value, int depth) {
    switch (value.type()) {
    case Lattice::DataType::Empty:
        return nullptr;
    case Lattice::DataType::Bool:
        return value.toBool();
    case Lattice::DataType::Long:
        return value.toLong();
    case Lattice::DataType::Double:
        return value.toDouble();
    case Lattice::DataType::String:
        return value.toString().str();
    case Lattice::DataType::Date:
        return value.toDate().isSet() ? value.toString().str() : "";
    case Lattice::DataType::DateTime:
        return value.toDateTime().isSet() ? value.toString().str() : "";
    case Lattice::DataType::Time:
    case Lattice::DataType::Duration:
        return value.toString().str();
    case Lattice::DataType::Object:
        return objectToJson(value.toObject(), depth);
    }
    return value.toString().str();
}

[[noreturn]] void badValue(const std::string& what, const std::string& text, const char* expected) {
    throw CommandError(what + ": \"" + text + "\" is not " + expected);
}

// Reads up to `count` fields of digits separated by any of `separators`; false on anything else.
bool readFields(const std::string& text, const char* separators, int* fields, int count, int& read,
                std::size_t& used) {
    read = 0;
    used = 0;
    while (read < count && used < text.size()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(text.data() + used, text.data() + text.size(), value);
        if (ec != std::errc() || value < 0)
            return false;
        fields[read++] = value;
        used = static_cast<std::size_t>(end - text.data());
        if (read < count && used < text.size() &&
            std::string(separators).find(text[used]) != std::string::npos)
            ++used;
        else
            break;
    }
    return read > 0;
}

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= days[m - 1];
}

bool parseBool(const std::string& text, bool& out) {
    for (const char* yes : {"true", "1", "yes", "on"})
        if (text == yes)
            return out = true, true;
    for (const char* no : {"false", "0", "no", "off"})
        if (text == no)
            return out = false, true;
    return false;
}

Lattice::Ptr<Lattice::ObjectCollection> makeCollection(const Json& array, const std::string& what);

// One JSON value as a collection element: objects name their class with "_class".
Lattice::Data elementFrom(const Json& value, const std::string& what) {
    if (value.is_object()) {
        const std::string cls = value.value("_class", "");
        if (cls.empty())
            throw CommandError(what + ": an object in a list needs \"_class\" (e.g. \"Recipient\")");
        Lattice::Ptr<Lattice::Base> made(Lattice::ClassFactory::create(Lattice::Atom(cls.c_str())));
        auto* object = dynamic_cast<Lattice::Object*>(made.get());
        if (!object)
            throw CommandError(what + ": no host class \"" + cls + "\"");
        Json fields = value;
        fields.erase("_class");
        setMembers(*object, fields, what + ".");
        return Lattice::Data(made);
    }
    if (value.is_array())
        return Lattice::Data(makeCollection(value, what));
    if (value.is_boolean())
        return Lattice::Data(value.get<bool>());
    if (value.is_number_integer())
        return Lattice::Data(value.get<long>());
    if (value.is_number())
        return Lattice::Data(value.get<double>());
    if (value.is_string())
        return Lattice::Data(value.get<std::string>().c_str());
    return Lattice::Data();
}

Lattice::Ptr<Lattice::ObjectCollection> makeCollection(const Json& array, const std::string& what) {
    Lattice::Ptr<Lattice::ObjectCollection> list(new Lattice::ObjectCollection());
    for (std::size_t i = 0; i < array.size(); ++i)
        list->add(elementFrom(array[i], what + "[" + std::to_string(i) + "]"));
    return list;
}

Json parseJson(const std::string& text, const std::string& what) {
    Json value = Json::parse(text, nullptr, false);
    if (value.is_discarded())
        throw CommandError(what + ": not valid JSON: " + text);
    return value;
}

void assignObject(const Lattice::MemberRef& ref, const Json& value, const std::string& what) {
    if (value.is_null()) {
        ref.setObject(ref.field, nullptr);
        return;
    }
    if (value.is_array()) {
        Lattice::Ptr<Lattice::ObjectCollection> list = makeCollection(value, what);
        if (!ref.setObject(ref.field, list.get()))
            throw CommandError(what + " is an object, not a list");
        return;
    }
    if (!value.is_object())
        throw CommandError(what + " is an object: give a JSON object, or set its members (" + what +
                           ".NAME=...)");
    Lattice::Base* sub = ref.getObject(ref.field);
    if (!sub || value.contains("_class")) {
        Lattice::Ptr<Lattice::Base> made(
            value.contains("_class")
                ? Lattice::ClassFactory::create(Lattice::Atom(value.value("_class", "").c_str()))
                : ref.makeObject());
        if (!made || !ref.setObject(ref.field, made.get()))
            throw CommandError(what + ": cannot hold a \"" + value.value("_class", "") + "\"");
        sub = ref.getObject(ref.field);
    }
    auto* object = dynamic_cast<Lattice::Object*>(sub);
    if (!object)
        throw CommandError(what + " has no members to set");
    Json fields = value;
    fields.erase("_class");
    setMembers(*object, fields, what + ".");
}

void assignText(const Lattice::MemberRef& ref, const std::string& text, const std::string& what) {
    using Kind = Lattice::MemberRef::Kind;
    switch (ref.kind) {
    case Kind::Bool: {
        bool value = false;
        if (!parseBool(text, value))
            badValue(what, text, "true or false");
        *static_cast<bool*>(ref.field) = value;
        return;
    }
    case Kind::Long: {
        long value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || ec != std::errc() || end != text.data() + text.size())
            badValue(what, text, "a whole number");
        *static_cast<long*>(ref.field) = value;
        return;
    }
    case Kind::Double: {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != 0)
            badValue(what, text, "a number");
        *static_cast<double*>(ref.field) = value;
        return;
    }
    case Kind::String:
        *static_cast<Lattice::String*>(ref.field) = Lattice::String(text.c_str());
        return;
    case Kind::Date:
        *static_cast<Lattice::_DateData*>(ref.field) = parseDate(text, what);
        return;
    case Kind::Time:
        *static_cast<Lattice::_TimeData*>(ref.field) = parseTime(text, what);
        return;
    case Kind::DateTime:
        *static_cast<Lattice::_DateTimeData*>(ref.field) = parseDateTime(text, what);
        return;
    case Kind::Duration:
        throw CommandError(what + ": durations cannot be set from text");
    case Kind::Value:
        *static_cast<Lattice::Data*>(ref.field) = Lattice::Data(text.c_str());
        return;
    case Kind::Object:
        assignObject(ref, parseJson(text, what), what);
        return;
    }
}

// The member that owns the last step of `path`, making missing sub-objects.
Lattice::Object& ownerOf(Lattice::Object& target, const std::vector<std::string>& steps,
                         const std::string& path) {
    Lattice::Object* current = &target;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        FindMember find(steps[i]);
        current->reflect(find);
        if (!find.found || find.found->kind != Lattice::MemberRef::Kind::Object)
            throw CommandError("\"" + path + "\": " + current->className().c_str() +
                               " has no object member \"" + steps[i] + "\"");
        Lattice::Base* sub = find.found->getObject(find.found->field);
        if (!sub) {
            Lattice::Ptr<Lattice::Base> made(find.found->makeObject());
            find.found->setObject(find.found->field, made.get());
            sub = find.found->getObject(find.found->field);
        }
        current = dynamic_cast<Lattice::Object*>(sub);
        if (!current)
            throw CommandError("\"" + path + "\": \"" + steps[i] + "\" has no members to set");
    }
    return *current;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = path.find('.', start);
        steps.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    for (const std::string& step : steps)
        if (step.empty())
            throw CommandError("\"" + path + "\" is not a member path (NAME or NAME.NAME...)");
    return steps;
}

std::string memberList(Lattice::Object& object) {
    std::string names;
    for (const Lattice::String& name : object.memberNames())
        names += (names.empty() ? "" : ", ") + name.str();
    return names;
}

Lattice::MemberRef findRef(Lattice::Object& owner, const std::string& name, const std::string& path) {
    FindMember find(name);
    owner.reflect(find);
    if (!find.found)
        throw CommandError("\"" + path + "\": " + owner.className().c_str() + " has no member \"" + name +
                           "\" (its members: " + memberList(owner) + ")");
    return *find.found;
}

} // namespace

Json toJson(const Lattice::Base* object) {
    return objectToJson(object, 0);
}

Json toJson(const Lattice::Data& value) {
    return toJsonAt(value, 0);
}

Json toJson(const Lattice::ObjectCollection& list) {
    return objectToJson(&list, 0);
}

void setMember(Lattice::Object& target, const std::string& path, const std::string& text) {
    const std::vector<std::string> steps = splitPath(path);
    Lattice::Object& owner = ownerOf(target, steps, path);
    assignText(findRef(owner, steps.back(), path), text, path);
}

void setMembers(Lattice::Object& target, const Json& fields, const std::string& prefix) {
    if (!fields.is_object())
        throw CommandError((prefix.empty() ? std::string("fields") : prefix) + ": expected a JSON object");
    for (const auto& [name, value] : fields.items()) {
        const std::string path = prefix + name;
        const Lattice::MemberRef ref = findRef(target, name, path);
        if (ref.kind == Lattice::MemberRef::Kind::Object)
            assignObject(ref, value, path);
        else if (value.is_string())
            assignText(ref, value.get<std::string>(), path);
        else if (value.is_null())
            throw CommandError(path + ": null only clears object members");
        else
            assignText(ref, value.dump(), path);
    }
}

void setMembers(Lattice::Object& target, const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (!word.empty() && word.front() == '{') {
            setMembers(target, parseJson(word, "fields"));
            continue;
        }
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0)
            throw CommandError("\"" + word + "\" is not FIELD=VALUE or a JSON object");
        setMember(target, word.substr(0, eq), word.substr(eq + 1));
    }
}

Lattice::_DateData parseDate(const std::string& text, const std::string& what) {
    int f[3] = {};
    int n = 0;
    std::size_t used = 0;
    if (!readFields(text, "-", f, 3, n, used) || n != 3 || used != text.size() ||
        !validDate(f[0], f[1], f[2]))
        badValue(what, text, "a date (YYYY-MM-DD)");
    Lattice::_DateData date;
    date.setFullYear(f[0]);
    date.month = static_cast<short>(f[1]);
    date.day = static_cast<short>(f[2]);
    return date;
}

Lattice::_TimeData parseTime(const std::string& text, const std::string& what) {
    int f[3] = {};
    int n = 0;
    std::size_t used = 0;
    if (!readFields(text, ":", f, 3, n, used) || n < 2 || used != text.size() || f[0] > 23 || f[1] > 59 ||
        f[2] > 59)
        badValue(what, text, "a time (HH:MM or HH:MM:SS)");
    return {static_cast<short>(f[0]), static_cast<short>(f[1]), static_cast<short>(f[2]), 0};
}

Lattice::_DateTimeData parseDateTime(const std::string& text, const std::string& what) {
    const std::size_t split = text.find_first_of("T ");
    const Lattice::_DateData date = parseDate(text.substr(0, split), what);
    Lattice::_DateTimeData out;
    out.century = date.century;
    out.year = date.year;
    out.month = date.month;
    out.day = date.day;
    if (split == std::string::npos)
        return out;
    std::string rest = text.substr(split + 1);
    long east = 0;
    const std::size_t zone = rest.find_first_of("Z+-");
    if (zone != std::string::npos) {
        const std::string z = rest.substr(zone);
        rest.resize(zone);
        if (z != "Z") {
            int f[2] = {};
            int n = 0;
            std::size_t used = 0;
            const std::string digits = z.substr(1);
            if (!readFields(digits, ":", f, 2, n, used) || used != digits.size() || f[0] > 14 || f[1] > 59)
                badValue(what, text, "a date and time (YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM])");
            east = (z[0] == '-' ? -1 : 1) * (f[0] * 60L + f[1]);
        }
    }
    const Lattice::_TimeData time = parseTime(rest, what);
    out.hour = time.hour;
    out.minute = time.minute;
    out.second = time.second;
    out.zoneOffset = -east;
    return out;
}

std::string cellText(const Json& value) {
    if (value.is_null())
        return "";
    if (value.is_string()) {
        std::string text = value.get<std::string>();
        // Date-times show to the minute; a table has no room for zones.
        if (text.size() == 25 && text[10] == 'T' && text[4] == '-')
            text = text.substr(0, 10) + " " + text.substr(11, 5);
        return text;
    }
    if (value.is_boolean())
        return value.get<bool>() ? "yes" : "no";
    if (value.is_array())
        return std::to_string(value.size()) + " item(s)";
    if (value.is_object())
        return value.value("_class", "object");
    return value.dump();
}

} // namespace hxhost
