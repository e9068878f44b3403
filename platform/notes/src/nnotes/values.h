// Values and codecs of the stand-in: error texts, text and time helpers, names, universal ids and
// the stored forms of item values.
#pragma once

#include "notes/capi.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace notes {

// ---- errors -------------------------------------------------------------------------------
// The text of ERR(code); never null ("Unknown error nnnn" texts live in a small ring buffer).
std::string errorText(STATUS code);

// ---- text helpers -------------------------------------------------------------------------
bool nameEquals(std::string_view a, std::string_view b); // ASCII case-insensitive
std::string lower(std::string_view s);
// Copies text into buf (size bytes, always zero-terminated, cut when too long); returns the length
// copied. Nothing happens when buf is null or size is 0.
std::size_t copyText(std::string_view text, char* buf, std::size_t size);

// ---- time ----------------------------------------------------------------------------------
// Ticks are hundredths of a second since 1970-01-01 00:00 GMT.
constexpr std::int64_t kTicksPerDay = 8640000;
constexpr std::int64_t kJulian1970 = 2440588;
std::int64_t ticksNow();
std::int64_t daysFromCivil(int y, int m, int d);
void civilFromDays(std::int64_t days, int* y, int* m, int* d);
bool validDate(int y, int m, int d);
// A TIMEDATE for a GMT instant, tagged with a zone (hours west) and dst flag.
TIMEDATE timedateFromTicks(std::int64_t ticks, int zone = 0, bool dst = false);
std::int64_t ticksFromTimedate(const TIMEDATE& td); // date-only: midnight GMT; time-only: 0 + time
bool timedateHasDate(const TIMEDATE& td);
bool timedateHasTime(const TIMEDATE& td);
int timedateZone(const TIMEDATE& td);
bool timedateDst(const TIMEDATE& td);
// The zone (hours west of GMT) and dst flag of this machine at a GMT instant.
void machineZone(std::int64_t ticks, int* zone, bool* dst);

// Broken-down local time with its zone; the class library's LNDatetime is one of these.
struct Fields {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, hundredth = 0;
    int zone = 0; // hours west of GMT
    bool dst = false;
    bool hasDate = false, hasTime = false;
};
TIMEDATE fieldsToTimedate(const Fields& f);
Fields fieldsFromTimedate(const TIMEDATE& td); // in the TIMEDATE's own zone
Fields fieldsInZone(const TIMEDATE& td, int zone, bool dst);
// Parses "MM/DD/YYYY", "MM/DD/YYYY h:mm[:ss[.hh]] [AM|PM]", "h:mm[:ss] [AM|PM]" and
// "YYYY-MM-DD[ T]HH:MM[:SS]". Zone and dst are this machine's at that time.
bool parseDatetime(std::string_view text, Fields* out);
// "MM/DD/YYYY hh:mm:ss AM", "MM/DD/YYYY" or "hh:mm:ss AM".
std::string formatDatetime(const Fields& f);
int weekday(const Fields& f); // 1 = Sunday .. 7 = Saturday

// ---- names ---------------------------------------------------------------------------------
std::string abbreviateName(std::string_view name);
std::string canonicalizeName(std::string_view name);
std::string commonName(std::string_view name); // first component, without "CN="

// ---- universal ids -------------------------------------------------------------------------
std::string unidToText(const UNID& unid);
bool unidFromText(std::string_view text, UNID* out);
UNID newUnid(std::int64_t createdTicks);

// ---- item values ---------------------------------------------------------------------------
namespace ods {
std::string encodeTextList(const std::vector<std::string>& values);
bool decodeText(WORD type, std::string_view value, std::vector<std::string>* out); // TEXT or TEXT_LIST
std::string encodeNumbers(const std::vector<double>& values);                      // NUMBER_RANGE
bool decodeNumbers(WORD type, std::string_view value, std::vector<double>* out);
std::string encodeTimes(const std::vector<TIMEDATE>& values, const std::vector<TIMEDATE_PAIR>& ranges);
bool decodeTimes(WORD type, std::string_view value, std::vector<TIMEDATE>* values,
                 std::vector<TIMEDATE_PAIR>* ranges);
std::string encodeNoteRefs(const std::vector<UNID>& refs);
bool decodeNoteRefs(std::string_view value, std::vector<UNID>* out);
// Rich text: a stream of records {WORD signature, DWORD length including the 6-byte header, data}.
constexpr WORD kCdText = 0x0085;                    // data: text of one run
constexpr WORD kCdParagraph = 0x0081;               // no data: paragraph break
std::string encodeRichText(std::string_view plain); // "\n" separates paragraphs
bool decodeRichTextPlain(std::string_view value, std::string* plain);
// The values of an item as text, joined by separator ("" for types without a text form).
std::string toText(WORD type, std::string_view value, std::string_view separator);
} // namespace ods

} // namespace notes
