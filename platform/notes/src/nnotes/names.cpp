// Hierarchical names: "CN=John Doe/OU=Sales/O=Acme/C=US" <-> "John Doe/Sales/Acme/US".
#include "values.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace notes {
namespace {

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return std::string(s.substr(b, e - b));
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(sep, start);
        parts.emplace_back(
            s.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos) {
            return parts;
        }
        start = pos + 1;
    }
}

// The tag of a component ("CN", "OU", ...) upper-cased, or "" when it has none; *rest is the value.
std::string tagOf(std::string_view component, std::string* rest) {
    static const char* const kTags[] = {"CN", "OU", "O", "C", "G", "S", "I", "Q", "P", "A"};
    const std::size_t eq = component.find('=');
    if (eq != std::string_view::npos) {
        const std::string tag = trim(component.substr(0, eq));
        for (const char* known : kTags) {
            if (nameEquals(tag, known)) {
                *rest = trim(component.substr(eq + 1));
                std::string up = tag;
                for (char& c : up) {
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                }
                return up;
            }
        }
    }
    *rest = trim(component);
    return "";
}

// Splits "name@domain" (only for hierarchical names; an Internet address stays whole).
void splitDomain(std::string_view name, std::string* base, std::string* domain) {
    const std::size_t at = name.rfind('@');
    if (at != std::string_view::npos &&
        (name.find('/') != std::string_view::npos || name.find('=') != std::string_view::npos)) {
        *base = std::string(name.substr(0, at));
        *domain = std::string(name.substr(at));
    } else {
        *base = std::string(name);
        domain->clear();
    }
}

bool isHierarchical(std::string_view name) {
    return name.find('/') != std::string_view::npos || name.find('=') != std::string_view::npos;
}

} // namespace

bool nameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::size_t copyText(std::string_view text, char* buf, std::size_t size) {
    if (buf == nullptr || size == 0) {
        return 0;
    }
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return n;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string abbreviateName(std::string_view name) {
    if (!isHierarchical(name)) {
        return std::string(name);
    }
    std::string base, domain;
    splitDomain(name, &base, &domain);
    std::string out;
    for (const std::string& part : split(base, '/')) {
        std::string value;
        tagOf(part, &value);
        if (!out.empty()) {
            out += '/';
        }
        out += value;
    }
    return out + domain;
}

std::string canonicalizeName(std::string_view name) {
    if (!isHierarchical(name)) {
        return std::string(name);
    }
    std::string base, domain;
    splitDomain(name, &base, &domain);
    const std::vector<std::string> parts = split(base, '/');
    std::vector<std::string> tags(parts.size()), values(parts.size());
    bool tagged = false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        tags[i] = tagOf(parts[i], &values[i]);
        tagged = tagged || !tags[i].empty();
    }
    if (!tagged) {
        // Positional: CN first, O last (or C last and O before it when the last has 2 letters).
        // (Tags are assigned from std::string constants: GCC 12 at -O3 misreports literal
        // assignments here as overlapping copies.)
        static const std::string kC = "C", kCN = "CN", kO = "O", kOU = "OU";
        const std::size_t n = parts.size();
        std::size_t org = n - 1;
        if (n >= 3 && values[n - 1].size() == 2) {
            tags[n - 1] = kC;
            org = n - 2;
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (i == 0) {
                tags[i] = kCN;
            } else if (i == org) {
                tags[i] = kO;
            } else if (i < org) {
                tags[i] = kOU;
            }
        }
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!out.empty()) {
            out += '/';
        }
        out += tags[i].empty() ? values[i] : tags[i] + "=" + values[i];
    }
    return out + domain;
}

std::string commonName(std::string_view name) {
    std::string base, domain;
    splitDomain(name, &base, &domain);
    const std::string abbreviated = abbreviateName(base);
    return trim(abbreviated.substr(0, abbreviated.find('/')));
}

} // namespace notes

namespace {

STATUS copyOut(const std::string& value, char* out, WORD outSize, WORD* outLength) {
    if (out == nullptr || value.size() >= outSize) {
        return ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(out, value.c_str(), value.size() + 1);
    if (outLength) {
        *outLength = static_cast<WORD>(value.size());
    }
    return NOERROR;
}

} // namespace

extern "C" STATUS DNAbbreviate(DWORD, const char*, const char* inName, char* outName, WORD outSize,
                               WORD* outLength) {
    if (inName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    return copyOut(notes::abbreviateName(inName), outName, outSize, outLength);
}

extern "C" STATUS DNCanonicalize(DWORD, const char*, const char* inName, char* outName, WORD outSize,
                                 WORD* outLength) {
    if (inName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    return copyOut(notes::canonicalizeName(inName), outName, outSize, outLength);
}
