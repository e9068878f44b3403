#pragma once
// vCards (RFC 6350) and the host's contacts.
//
// Reading accepts vCard 4.0 and what address-book applications write as 3.0 and 2.1: folded lines,
// QUOTED-PRINTABLE values with soft line breaks, CHARSET parameters, 2.1's bare parameters
// ("TEL;HOME;VOICE:"), grouped properties ("item1.TEL"), several cards in one text. Writing always
// gives vCard 4.0: CRLF line ends, lines folded at 75 octets without splitting a character, text
// escaped.

#include "hxMail/Contact.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace hxMailConversion::vcard {

// Bad input: the text says what is wrong and on which line (0 when it is about the whole text).
class ParseError : public std::runtime_error {
public:
    ParseError(std::size_t line, const std::string& what);
    std::size_t line() const { return line_; }

private:
    std::size_t line_;
};

struct Parameter {
    std::string name;                // upper case
    std::vector<std::string> values; // as written, quotes and RFC 6868 escapes removed
};

struct Property {
    std::string group; // "item1" of "item1.TEL", else empty
    std::string name;  // upper case
    std::vector<Parameter> params;
    // The value in UTF-8 with its transfer encoding undone, still in vCard's escaped form.
    std::string value;

    const Parameter* param(std::string_view name) const;
    // Whether TYPE (or a 2.1 bare parameter) holds `type`, any letter case.
    bool hasType(std::string_view type) const;
    // The PREF rank: 1 most preferred, 100 when not given; 3.0's TYPE=pref counts as 1.
    int pref() const;
    // The whole value as text, escapes undone.
    std::string text() const;
    // The value split at ';' into components, each split at ',' into values (2.1 has no value
    // lists, so there a comma is text), escapes undone.
    std::vector<std::vector<std::string>> components() const;
};

struct Card {
    std::string version;  // "2.1", "3.0" or "4.0"
    std::size_t line = 0; // of its BEGIN:VCARD
    std::vector<Property> properties;

    // The first property named `name`, or null.
    const Property* find(std::string_view name) const;
};

// Every card of `text`. Throws ParseError for text outside a card, a card without END or VERSION,
// an unknown version, a line without ':' or with a malformed name or parameter, and input over
// kMaxInput bytes.
std::vector<Card> parse(std::string_view text);
constexpr std::size_t kMaxInput = 16 * 1024 * 1024;

// The card as vCard 4.0 (VERSION is written first, whatever `card.version` says).
std::string write(const Card& card);

// Escapes text for a property value: backslash, line end, and (for structured and list values)
// ',' and ';'.
std::string escape(std::string_view text, bool separators = true);

// What the host contact model holds of a card, and back. The detail is the contact's
// `contactDetail` unless given separately.
Card fromContact(const hxMail::Contact& contact, const hxMail::ContactDetail& detail);
// Fills a new contact and its detail (attached as `contactDetail`) from a card; `left` receives
// the names of properties (or their extra instances) the model has no place for.
Lattice::Ptr<hxMail::Contact> toContact(const Card& card, std::vector<std::string>* left = nullptr);

// The file-as name the host derives from name parts: "Last, First Middle".
std::string fileAsOf(const hxMail::ContactDetail& detail);
// The full text of an address: street, line feed, "City, State Zip", line feed, country; empty
// when every part is.
std::string fullAddressOf(const hxMail::Address& address);

} // namespace hxMailConversion::vcard
