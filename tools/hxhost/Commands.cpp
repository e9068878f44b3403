#include "Commands.h"
#include "Table.h"

#include <charconv>
#include <limits>
#include <ostream>
#include <strings.h>

namespace hxhost {

void CommandRegistry::add(Command command) {
    const std::string name = command.name;
    if (!commands_.count(name))
        order_.push_back(name);
    commands_[name] = std::move(command);
}

const Command* CommandRegistry::find(const std::string& name) const {
    auto it = commands_.find(name);
    return it == commands_.end() ? nullptr : &it->second;
}

void registerCommands(CommandRegistry& registry) {
    registerFactoryCommands(registry);
    registerLoginCommands(registry);
    registerFolderCommands(registry);
    registerMainProviderCommands(registry);
    registerMessageCommands(registry);
    registerComposeCommands(registry);
    registerCalendarCommands(registry);
    registerAddressCommands(registry);
    registerContactCommands(registry);
    registerVCardCommands(registry);
    registerTaskCommands(registry);
    registerChangeCommands(registry);
    registerNoteCommands(registry);
    registerMeetingCommands(registry);
    registerGroupCommands(registry);
}

hxMail::MailProvider& requireProvider(CommandContext& context) {
    hxMail::MailProvider* provider = context.host.provider();
    if (!provider)
        throw CommandError(context.host.error());
    return *provider;
}

hxMail::MailProvider& loggedInProvider(CommandContext& context) {
    hxMail::MailProvider& provider = requireProvider(context);
    if (!provider.isAuthenticated())
        throw CommandError("not logged in (use \"login USER PASSWORD\" first)");
    return provider;
}

hxMail::Mailbox& sessionMailbox(CommandContext& context) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    HostSession& session = context.host.session;
    if (!session.mailbox) {
        Lattice::Ptr<hxMail::Mailbox> box;
        provider.getMailbox("", box);
        if (!box)
            throw CommandError("the provider built no mailbox (is the mail file there?)");
        session.mailbox = box;
    }
    return *session.mailbox;
}

const Lattice::ObjectCollection& sessionFolders(CommandContext& context, bool rebuild) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    const Lattice::String mailboxId = sessionMailbox(context).get_id();
    HostSession& session = context.host.session;
    if (rebuild || session.foldersFor != mailboxId || session.folders.isEmpty()) {
        session.folders.removeAll(true);
        provider.getFolders("", mailboxId, &session.folders);
        session.foldersFor = mailboxId;
    }
    return session.folders;
}

hxMail::Folder& pickFolder(CommandContext& context, const std::string& name) {
    const Lattice::ObjectCollection& folders = sessionFolders(context, false);
    for (const Lattice::Data& d : folders) {
        auto* f = d.toObject<hxMail::Folder>();
        if (f && !f->get_id().isEmpty() &&
            (f->get_id().str() == name || strcasecmp(f->get_displayName().c_str(), name.c_str()) == 0))
            return *f; // the session's folder list keeps it
    }
    std::string known;
    for (const Lattice::Data& d : folders)
        if (auto* f = d.toObject<hxMail::Folder>())
            known += (known.empty() ? "" : ", ") + f->get_displayName().str();
    throw CommandError("no folder \"" + name + "\" (the folders are " + known + ")");
}

std::vector<ListedMessage>& lastListing() {
    static std::vector<ListedMessage> listing;
    return listing;
}

std::string resolveMessageId(const std::string& text) {
    if (text.empty() || text[0] != '#')
        return text;
    const std::string digits = text.substr(1);
    const bool number =
        !digits.empty() && digits.size() < 9 && digits.find_first_not_of("0123456789") == std::string::npos;
    const long row = number ? std::stol(digits) : 0;
    const auto& listing = lastListing();
    if (row < 1 || static_cast<std::size_t>(row) > listing.size())
        throw CommandError("\"" + text + "\" names no row of the last listing (" +
                           std::to_string(listing.size()) + " row(s); run \"ls\" first)");
    return listing[static_cast<std::size_t>(row - 1)].id;
}

long parseNumber(const std::string& text, const char* what, long least) {
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < least)
        throw CommandError(std::string(what) + " must be a whole number" +
                           (least == std::numeric_limits<long>::min()
                                ? std::string()
                                : " of " + std::to_string(least) + " or more") +
                           ", not \"" + text + "\"");
    return value;
}

std::pair<std::size_t, std::size_t> arity(const std::string& usage) {
    std::size_t least = 0;
    std::size_t most = 0;
    int depth = 0;
    bool inWord = false;
    for (std::size_t i = 0; i < usage.size(); ++i) {
        const char c = usage[i];
        if (usage.compare(i, 3, "...") == 0)
            return {least, 64};
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == ' ') {
            inWord = false;
        } else if (!inWord && c != '|') {
            inWord = true;
            ++most;
            if (depth == 0)
                ++least;
        }
    }
    return {least, most};
}

// --- Call -----------------------------------------------------------------------------------

const std::string& Call::word(std::size_t i) const {
    static const std::string none;
    return i < args_.size() ? args_[i] : none;
}

Lattice::String Call::text(std::size_t i, const char* fallback) const {
    return has(i) ? Lattice::String(word(i).c_str()) : Lattice::String(fallback);
}

long Call::number(std::size_t i, const char* what, long fallback) const {
    return has(i) ? parseNumber(word(i), what, std::numeric_limits<long>::min()) : fallback;
}

bool Call::flag(std::size_t i, bool fallback) const {
    if (!has(i))
        return fallback;
    for (const char* yes : {"true", "yes", "on", "1"})
        if (word(i) == yes)
            return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (word(i) == no)
            return false;
    throw CommandError("say true or false, not \"" + word(i) + "\"");
}

Lattice::_DateData Call::date(std::size_t i) const {
    return has(i) ? parseDate(word(i), "date") : Lattice::_DateData{};
}

Lattice::_TimeData Call::time(std::size_t i) const {
    return has(i) ? parseTime(word(i), "time") : Lattice::_TimeData{};
}

Lattice::_DateTimeData Call::dateTime(std::size_t i) const {
    return has(i) ? parseDateTime(word(i), "date and time") : Lattice::_DateTimeData{};
}

Lattice::String Call::folder(std::size_t i) const {
    const std::string& name = word(i);
    hxMail::MailProvider& provider = requireProvider(context_);
    if (provider.isAuthenticated() && !name.empty()) {
        for (const Lattice::Data& d : sessionFolders(context_, false))
            if (auto* f = d.toObject<hxMail::Folder>())
                if (!f->get_id().isEmpty() && strcasecmp(f->get_displayName().c_str(), name.c_str()) == 0)
                    return f->get_id();
    }
    return Lattice::String(name.c_str());
}

Lattice::String Call::message(std::size_t i) const {
    return Lattice::String(resolveMessageId(word(i)).c_str());
}

Lattice::ObjectCollection Call::texts(std::size_t from) const {
    Lattice::ObjectCollection list;
    for (std::size_t i = from; i < args_.size(); ++i)
        list.add(Lattice::Data(args_[i].c_str()));
    return list;
}

std::vector<std::string> Call::fieldWords(std::size_t from, bool detail) const {
    std::vector<std::string> words;
    for (std::size_t i = from; i < args_.size(); ++i) {
        const std::string& w = args_[i];
        if (!w.empty() && w.front() == '{') {
            Json fields = Json::parse(w, nullptr, false);
            if (fields.is_discarded() || !fields.is_object())
                throw CommandError("not a JSON object: " + w);
            if (detail) {
                if (fields.contains("detail"))
                    words.push_back(fields["detail"].dump());
            } else {
                fields.erase("detail");
                words.push_back(fields.dump());
            }
        } else if ((w.rfind("detail.", 0) == 0) == detail) {
            words.push_back(detail ? w.substr(7) : w);
        }
    }
    return words;
}

namespace {

template <class T> T& child(const Call& call, T* given, const char* className) {
    T* provider = given;
    if (!provider)
        provider = dynamic_cast<T*>(call.context().host.childByName(className));
    if (!provider)
        throw CommandError(std::string("the plug-in has no ") + className);
    return *provider;
}

} // namespace

hxMail::MessageProvider& Call::messages() const {
    return child(*this, main().messageProvider(), "MessageProvider");
}
hxMail::CalendarProvider& Call::calendar() const {
    return child(*this, main().calendarProvider(), "CalendarProvider");
}
hxMail::ContactProvider& Call::contacts() const {
    return child(*this, main().contactProvider(), "ContactProvider");
}
hxMail::TaskProvider& Call::tasks() const {
    return child(*this, main().taskProvider(), "TaskProvider");
}
hxMail::NoteProvider& Call::notes() const {
    return child(*this, main().noteProvider(), "NoteProvider");
}
hxMail::MeetingProvider& Call::meetings() const {
    return child(*this, main().meetingProvider(), "MeetingProvider");
}
hxMail::GroupProvider& Call::groups() const {
    return child(*this, main().groupProvider(), "GroupProvider");
}

void addOperations(CommandRegistry& registry, const char* group, std::initializer_list<OpRow> rows) {
    for (const OpRow& row : rows) {
        const auto [least, most] = arity(row.usage);
        auto call = row.call;
        registry.add({row.name, row.usage, row.help, least, most,
                      [call](CommandContext& context, const Args& args, Json& out) {
                          Call c(context, args, out);
                          call(c);
                      },
                      renderResult, group});
    }
}

// --- Rendering ------------------------------------------------------------------------------

namespace {

// Members worth a column when a list of host objects is shown as a table, in column order.
const char* const kUsefulColumns[] = {"_class",   "id",       "itemId",   "parentId",     "displayName",
                                      "name",     "subject",  "from",     "startDate",    "endDate",
                                      "dueDate",  "complete", "location", "emailAddress", "smtpAddress",
                                      "fileName", "size",     "readFlag", "text"};
constexpr std::size_t kMaxColumns = 7;

bool isEmptyValue(const Json& v) {
    return v.is_null() || (v.is_string() && v.get<std::string>().empty()) || (v.is_array() && v.empty());
}

void printTable(const Json& list, std::ostream& out, const std::string& indent) {
    std::vector<std::string> columns;
    for (const char* column : kUsefulColumns) {
        if (columns.size() == kMaxColumns)
            break;
        for (const Json& element : list)
            if (element.is_object() && element.contains(column) && !isEmptyValue(element[column]) &&
                !element[column].is_object()) {
                columns.emplace_back(column);
                break;
            }
    }
    if (columns.empty())
        columns.emplace_back("_class");
    Table table(columns);
    for (const Json& element : list) {
        std::vector<std::string> row;
        for (const std::string& column : columns)
            row.push_back(element.is_object() && element.contains(column) ? cellText(element[column])
                                                                          : cellText(element));
        table.add(row);
    }
    table.print(out, indent);
}

void printObject(const Json& object, std::ostream& out, const std::string& indent, int depth) {
    for (const auto& [key, value] : object.items()) {
        if (key == "_class" || isEmptyValue(value))
            continue;
        if (value.is_object()) {
            if (depth < 3) {
                out << indent << key << ": " << value.value("_class", "") << "\n";
                printObject(value, out, indent + "  ", depth + 1);
            }
        } else if (value.is_array()) {
            out << indent << key << ":\n";
            printTable(value, out, indent + "  ");
        } else {
            out << indent << key << ": " << cellText(value) << "\n";
        }
    }
}

} // namespace

void renderResult(const Json& result, std::ostream& out) {
    for (const auto& [key, value] : result.items()) {
        if (key == "status") {
            const long status = value.get<long>();
            out << "status: " << status
                << (status == 0                       ? " (done)"
                    : status == hxMail::kNotSupported ? " (not supported by the plug-in)"
                                                      : "")
                << "\n";
        } else if (value.is_array()) {
            if (value.empty())
                out << key << ": (none)\n";
            else if (value.front().is_object()) {
                out << key << ": " << value.size() << "\n";
                printTable(value, out, "  ");
            } else {
                out << key << ": " << value.size() << "\n";
                for (const Json& v : value)
                    out << "  " << cellText(v) << "\n";
            }
        } else if (value.is_object()) {
            out << key << ": " << value.value("_class", "") << "\n";
            printObject(value, out, "  ", 1);
        } else if (value.is_null()) {
            out << key << ": (none)\n";
        } else if (value.is_string() && value.get<std::string>().empty()) {
            out << key << ": (empty)\n";
        } else {
            out << key << ": " << cellText(value) << "\n";
        }
    }
}

} // namespace hxhost
