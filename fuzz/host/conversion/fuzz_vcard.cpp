// Arbitrary bytes as vCard text: reading never crashes or hangs; what was read writes back to text
// that reads the same, both as properties and as host contacts, and is valid UTF-8.
#include "ContactFields.h"
#include "Utf8Check.h"
#include "hxMailConversion/VCard.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace hxMailConversion::vcard;

namespace {

bool sameProperties(const Card& a, const Card& b) {
    if (a.properties.size() != b.properties.size())
        return false;
    for (std::size_t i = 0; i < a.properties.size(); ++i) {
        const Property& p = a.properties[i];
        const Property& q = b.properties[i];
        if (p.group != q.group || p.name != q.name || p.text() != q.text() ||
            p.params.size() != q.params.size())
            return false;
        for (std::size_t k = 0; k < p.params.size(); ++k)
            if (p.params[k].name != q.params[k].name || p.params[k].values != q.params[k].values)
                return false;
    }
    return true;
}

std::vector<Card> parseOrNothing(std::string_view text) {
    try {
        return parse(text);
    } catch (const ParseError&) {
        return {};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256 * 1024)
        return 0;
    const std::vector<Card> cards =
        parseOrNothing(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const Card& card : cards) {
        // The card as read, written as 4.0, reads back property for property.
        const std::string text = write(card);
        std::vector<Card> again;
        try {
            again = parse(text);
        } catch (const ParseError& e) {
            std::fprintf(stderr, "written card does not read: %s\n%s\n", e.what(), text.c_str());
            std::abort();
        }
        if (again.size() != 1 || !sameProperties(card, again[0])) {
            std::fprintf(stderr, "written card reads differently:\n%s\n", text.c_str());
            std::abort();
        }

        // As a host contact: contact -> card -> contact is the same contact.
        const auto contact = toContact(card);
        const std::string exported = write(fromContact(*contact, *contact->get_contactDetail()));
        if (!validUtf8(exported)) {
            std::fprintf(stderr, "export is not UTF-8:\n%s\n", exported.c_str());
            std::abort();
        }
        const auto back = parse(exported);
        if (back.size() != 1 || fieldsOf(*toContact(back[0])) != fieldsOf(*contact)) {
            std::fprintf(stderr, "contact changes on the way back:\n%s\n", exported.c_str());
            std::abort();
        }
    }
    return 0;
}
