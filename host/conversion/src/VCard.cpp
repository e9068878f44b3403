// vCard text: reading the three versions applications write, writing 4.0.
#include "hxMailConversion/VCard.h"

#include "Lattice/HTMLEncode.h"

#include <algorithm>
#include <charconv>

namespace hxMailConversion::vcard {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Whether a raw line (before it is parsed) asks for quoted-printable: such values continue after
// a trailing '='. Only the start of the line is looked at: it is asked again after every folded
// piece, and a name with its parameters is never that long.
bool rawLineIsQuotedPrintable(std::string_view line) {
    line = line.substr(0, 512);
    bool quoted = false;
    std::size_t start = std::string_view::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == ';' || c == ':') {
            if (start != std::string_view::npos) {
                std::string_view param = line.substr(start, i - start);
                if (param.size() > 9 && upper(param.substr(0, 9)) == "ENCODING=")
                    param.remove_prefix(9);
                if (upper(param) == "QUOTED-PRINTABLE")
                    return true;
            }
            if (c == ':')
                return false;
            start = i + 1;
        }
    }
    return false;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string decodeQuotedPrintable(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else if (in[i] == '=' && i + 1 == in.size()) {
            break; // a soft break left at the very end
        } else {
            out += in[i];
        }
    }
    return out;
}

// RFC 6868: ^n line feed, ^' double quote, ^^ caret; any other caret stays. RFC 6350's own
// examples write line ends in LABEL as "\n", so that and "\\" are read too.
std::string decodeCaret(std::string_view in) {
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 1 < in.size()) {
            const char n = in[i + 1];
            if (n == 'n' || n == 'N' || n == '\\') {
                out += n == '\\' ? '\\' : '\n';
                ++i;
                continue;
            }
        }
        if (in[i] == '^' && i + 1 < in.size()) {
            const char n = in[i + 1];
            if (n == 'n' || n == 'N') {
                out += '\n';
                ++i;
                continue;
            }
            if (n == '\'') {
                out += '"';
                ++i;
                continue;
            }
            if (n == '^') {
                out += '^';
                ++i;
                continue;
            }
        }
        out += in[i];
    }
    return out;
}

// Splits at unescaped `sep`, keeping the escapes in the pieces.
std::vector<std::string_view> splitEscaped(std::string_view text, char sep) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
            continue;
        }
        if (text[i] == sep) {
            out.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(text.substr(start));
    return out;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char n = text[++i];
        if (n == 'n' || n == 'N')
            out += '\n';
        else if (n == '\\' || n == ',' || n == ';' || n == ':')
            out += n;
        else {
            out += '\\'; // not an escape: both characters are text
            out += n;
        }
    }
    return out;
}

// Where the parameter list of a line ends: the first ':' outside double quotes.
std::size_t valueColon(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

void addParamValues(Parameter& param, std::string_view raw, std::size_t lineNo) {
    std::size_t i = 0;
    while (true) {
        std::string value;
        if (i < raw.size() && raw[i] == '"') {
            const std::size_t close = raw.find('"', i + 1);
            if (close == std::string_view::npos)
                throw ParseError(lineNo, "parameter " + param.name + " has an unclosed quote");
            value = decodeCaret(raw.substr(i + 1, close - i - 1));
            i = close + 1;
            if (i < raw.size() && raw[i] != ',')
                throw ParseError(lineNo, "parameter " + param.name + " has text after its closing quote");
        } else {
            const std::size_t comma = raw.find(',', i);
            value = decodeCaret(
                raw.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i));
            i = comma == std::string_view::npos ? raw.size() : comma;
        }
        param.values.push_back(std::move(value));
        if (i >= raw.size())
            break;
        ++i; // the comma
    }
}

Property parseLine(std::string_view line, std::size_t lineNo) {
    const std::size_t colon = valueColon(line);
    if (colon == std::string_view::npos)
        throw ParseError(lineNo, "no ':' between the property name and its value");
    Property prop;
    std::string_view head = line.substr(0, colon);
    prop.value = std::string(line.substr(colon + 1));

    // Parameters are split at ';' outside quotes.
    std::vector<std::string_view> parts;
    {
        bool quoted = false;
        std::size_t start = 0;
        for (std::size_t i = 0; i < head.size(); ++i) {
            if (head[i] == '"')
                quoted = !quoted;
            else if (head[i] == ';' && !quoted) {
                parts.push_back(head.substr(start, i - start));
                start = i + 1;
            }
        }
        parts.push_back(head.substr(start));
    }

    std::string_view name = parts.front();
    const std::size_t dot = name.find('.');
    if (dot != std::string_view::npos) {
        prop.group = std::string(name.substr(0, dot));
        name = name.substr(dot + 1);
        if (prop.group.empty() || !std::all_of(prop.group.begin(), prop.group.end(), isNameChar))
            throw ParseError(lineNo, "malformed group name \"" + prop.group + "\"");
    }
    if (name.empty() || !std::all_of(name.begin(), name.end(), isNameChar))
        throw ParseError(lineNo, "malformed property name \"" + std::string(name) + "\"");
    prop.name = upper(name);

    for (std::size_t p = 1; p < parts.size(); ++p) {
        std::string_view raw = parts[p];
        while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t'))
            raw.remove_prefix(1);
        if (raw.empty())
            continue; // "TEL;;HOME": tolerated
        const std::size_t eq = raw.find('=');
        Parameter param;
        if (eq == std::string_view::npos) {
            // 2.1's bare parameters: encodings, charsets never come bare, anything else a type.
            const std::string word = upper(raw);
            if (word == "QUOTED-PRINTABLE" || word == "BASE64" || word == "8BIT" || word == "7BIT")
                param.name = "ENCODING";
            else
                param.name = "TYPE";
            param.values.push_back(std::string(raw));
        } else {
            const std::string_view pname = raw.substr(0, eq);
            if (pname.empty() || !std::all_of(pname.begin(), pname.end(), isNameChar))
                throw ParseError(lineNo, "malformed parameter \"" + std::string(raw.substr(0, 40)) +
                                             "\" of " + prop.name);
            param.name = upper(pname);
            addParamValues(param, raw.substr(eq + 1), lineNo);
        }
        // One entry per name, values in order, so that "TYPE=a;TYPE=b" reads as "TYPE=a,b".
        auto same = std::find_if(prop.params.begin(), prop.params.end(),
                                 [&](const Parameter& q) { return q.name == param.name; });
        if (same == prop.params.end())
            prop.params.push_back(std::move(param));
        else
            same->values.insert(same->values.end(), param.values.begin(), param.values.end());
    }
    return prop;
}

// Undoes the transfer encoding and brings the value to UTF-8.
void decodeValue(Property& prop) {
    const Parameter* encoding = prop.param("ENCODING");
    const bool qp =
        encoding && !encoding->values.empty() && equalsNoCase(encoding->values.front(), "QUOTED-PRINTABLE");
    if (qp) {
        // Decoded once and for all: the parameter would have a writer encode the value again.
        std::erase_if(prop.params, [](const Parameter& p) { return p.name == "ENCODING"; });
        prop.value = decodeQuotedPrintable(prop.value);
        // Decoded line ends are real ones; as text they are escapes again, so that one form of
        // line end reaches the model whatever the writer did.
        std::string escaped;
        for (std::size_t i = 0; i < prop.value.size(); ++i) {
            if (prop.value[i] == '\r') {
                if (i + 1 < prop.value.size() && prop.value[i + 1] == '\n')
                    ++i;
                escaped += "\\n";
            } else if (prop.value[i] == '\n') {
                escaped += "\\n";
            } else {
                escaped += prop.value[i];
            }
        }
        prop.value = std::move(escaped);
    } else if (encoding && !encoding->values.empty() &&
               (equalsNoCase(encoding->values.front(), "BASE64") ||
                equalsNoCase(encoding->values.front(), "B"))) {
        return; // binary (photos, keys): kept as written
    }
    const Parameter* charset = prop.param("CHARSET");
    const std::string name = charset && !charset->values.empty() ? charset->values.front() : "utf-8";
    prop.value =
        Lattice::HTMLEncode::convertBodyToUTF(Lattice::String(std::move(prop.value)), name.c_str()).str();
    std::erase_if(prop.params, [](const Parameter& p) { return p.name == "CHARSET"; });
}

// Parameter values have no charset of their own: valid UTF-8 stays, stray bytes are Windows-1252.
void decodeParams(Property& prop) {
    for (Parameter& param : prop.params)
        for (std::string& value : param.values)
            value = Lattice::HTMLEncode::convertBodyToUTF(Lattice::String(std::move(value)), "utf-8").str();
}

struct RawLine {
    std::size_t number;
    std::string text;
};

// Physical lines joined into logical ones: folding (a line starting with a blank or tab continues
// the one before) and quoted-printable soft breaks (a trailing '=').
std::vector<RawLine> logicalLines(std::string_view text) {
    std::vector<RawLine> out;
    std::size_t number = 0;
    bool softBreak = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        ++number;

        if (softBreak && !out.empty()) {
            out.back().text += line;
        } else if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !out.empty()) {
            out.back().text += line.substr(1);
        } else {
            out.push_back({number, std::string(line)});
        }
        const std::string& current = out.back().text;
        softBreak = !current.empty() && current.back() == '=' && rawLineIsQuotedPrintable(current);
        if (softBreak)
            out.back().text.pop_back();
    }
    return out;
}

bool isBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

} // namespace

ParseError::ParseError(std::size_t line, const std::string& what)
    : std::runtime_error((line ? "vCard line " + std::to_string(line) : std::string("vCard")) + ": " + what),
      line_(line) {}

const Parameter* Property::param(std::string_view wanted) const {
    for (const Parameter& p : params)
        if (equalsNoCase(p.name, wanted))
            return &p;
    return nullptr;
}

bool Property::hasType(std::string_view type) const {
    const Parameter* p = param("TYPE");
    if (!p)
        return false;
    for (const std::string& value : p->values)
        for (std::string_view one : splitEscaped(value, ',')) // TYPE="home,voice"
            if (equalsNoCase(one, type))
                return true;
    return false;
}

int Property::pref() const {
    if (const Parameter* p = param("PREF"); p && !p->values.empty()) {
        int rank = 100;
        const std::string& v = p->values.front();
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), rank);
        if (ec == std::errc() && end == v.data() + v.size() && rank >= 1 && rank <= 100)
            return rank;
        return 100;
    }
    return hasType("pref") ? 1 : 100;
}

std::string Property::text() const {
    return unescape(value);
}

std::vector<std::vector<std::string>> Property::components() const {
    std::vector<std::vector<std::string>> out;
    for (std::string_view component : splitEscaped(value, ';')) {
        std::vector<std::string> values;
        for (std::string_view one : splitEscaped(component, ','))
            values.push_back(unescape(one));
        out.push_back(std::move(values));
    }
    return out;
}

const Property* Card::find(std::string_view wanted) const {
    for (const Property& p : properties)
        if (p.name == wanted)
            return &p;
    return nullptr;
}

std::vector<Card> parse(std::string_view text) {
    if (text.size() > kMaxInput)
        throw ParseError(0, "the text is larger than " + std::to_string(kMaxInput / (1024 * 1024)) + " MB");
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    std::vector<Card> cards;
    bool inCard = false;
    for (RawLine& raw : logicalLines(text)) {
        if (isBlank(raw.text))
            continue;
        Property prop = parseLine(raw.text, raw.number);
        if (prop.name == "BEGIN" && equalsNoCase(prop.value, "VCARD")) {
            if (inCard)
                throw ParseError(raw.number, "BEGIN:VCARD inside the card begun on line " +
                                                 std::to_string(cards.back().line));
            inCard = true;
            cards.emplace_back();
            cards.back().line = raw.number;
            continue;
        }
        if (!inCard)
            throw ParseError(raw.number, "text outside BEGIN:VCARD and END:VCARD");
        Card& card = cards.back();
        if (prop.name == "END") {
            if (!equalsNoCase(prop.value, "VCARD"))
                throw ParseError(raw.number, "END:" + prop.value.substr(0, 40) + " where END:VCARD belongs");
            if (card.version.empty())
                throw ParseError(card.line, "the card has no VERSION");
            inCard = false;
            continue;
        }
        if (prop.name == "VERSION") {
            if (prop.value != "2.1" && prop.value != "3.0" && prop.value != "4.0")
                throw ParseError(raw.number, "unknown vCard version \"" + prop.value.substr(0, 40) +
                                                 "\" (2.1, 3.0 and 4.0 are read)");
            card.version = prop.value;
            continue;
        }
        decodeParams(prop);
        decodeValue(prop);
        card.properties.push_back(std::move(prop));
    }
    if (inCard)
        throw ParseError(cards.back().line, "the card has no END:VCARD");

    // 2.1 has no value lists: its commas are text, so they are escaped here once for all readers.
    for (Card& card : cards) {
        if (card.version != "2.1")
            continue;
        for (Property& prop : card.properties) {
            std::string escaped;
            for (std::size_t i = 0; i < prop.value.size(); ++i) {
                if (prop.value[i] == '\\' && i + 1 < prop.value.size()) {
                    escaped += prop.value[i];
                    escaped += prop.value[++i];
                } else if (prop.value[i] == ',') {
                    escaped += "\\,";
                } else {
                    escaped += prop.value[i];
                }
            }
            prop.value = std::move(escaped);
        }
    }
    return cards;
}

std::string escape(std::string_view text, bool separators) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\n";
        } else if (c == '\n')
            out += "\\n";
        else if (separators && (c == ',' || c == ';'))
            out += {'\\', c};
        else
            out += c;
    }
    return out;
}

namespace {

std::string paramValue(const std::string& value) {
    std::string out;
    bool quote = value.empty();
    for (char c : value) {
        if (c == '^')
            out += "^^";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "^'";
        else if (c == '\n')
            out += "^n";
        else if (c == '\r')
            continue;
        else {
            if (c == ':' || c == ';' || c == ',' || c == ' ')
                quote = true;
            out += c;
        }
    }
    return quote ? '"' + out + '"' : out;
}

// Appends one content line, folded so that no line passes 75 octets and no UTF-8 sequence is
// split.
void appendFolded(std::string& out, const std::string& line) {
    std::size_t pos = 0;
    std::size_t room = 75;
    while (line.size() - pos > room) {
        std::size_t cut = pos + room;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == pos)
            cut = pos + room; // not UTF-8 at all: any cut will do
        out.append(line, pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = 74;
    }
    out.append(line, pos, std::string::npos);
    out += "\r\n";
}

} // namespace

std::string write(const Card& card) {
    std::string out;
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    for (const Property& prop : card.properties) {
        std::string line;
        if (!prop.group.empty())
            line += prop.group + '.';
        line += prop.name;
        for (const Parameter& param : prop.params) {
            line += ';' + param.name + '=';
            for (std::size_t i = 0; i < param.values.size(); ++i) {
                if (i)
                    line += ',';
                line += paramValue(param.values[i]);
            }
        }
        line += ':';
        line += prop.value;
        appendFolded(out, line);
    }
    out += "END:VCARD\r\n";
    return out;
}

} // namespace hxMailConversion::vcard
