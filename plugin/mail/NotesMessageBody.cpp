// Message bodies: the memo's page from the Domino web task, cut and cleaned for the host, and the
// reader of a note's own MIME parts.
#include "mail/NotesMessage.h"
#include "mail/NotesWeb.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/DateTimeUtil.h"
#include "Lattice/HTMLEncode.h"
#include "hxMailConversion/Conversion.h"
#include "hxMime/Mime.h"
#include "notes/capi.h"

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdio>
#include <cstring>

namespace hxMail::hxNotesProvider {

namespace {

constexpr const char* kTextPageStart = "<html><head><body>";
constexpr const char* kPreStyleFirst = "<style>pre { white-space: -moz-pre-wrap; white-space: -pre-wrap;";
constexpr const char* kPreStyleSecond =
    "white-space: -o-pre-wrap; white-space: pre-wrap; word-wrap: break-word; }";
constexpr const char* kBeforeText = "</style><PRE>";
constexpr const char* kAfterText = "</PRE>\n";
constexpr const char* kTextPageEnd = "</body></head></html>";
constexpr const char* kParagraphStyle = "<style>p{margin:0in;margin-bottom:.0001pt;}</style>";
constexpr const char* kParagraphStyleMarker = "<style>p{margin:0in";

constexpr const char* kBodyLinkMarker = "href=\"/mail";
constexpr const char* kImageSourceMarker = "src=\"/mail";
constexpr const char* kFormFieldMarker = "<input name=\"Form\"";

// Past this a body is cut: parsing and sanitising costs a few times the body in memory, and no
// reader pages through more than this in a mail window.
constexpr long kMaxBodyBytes = 8L * 1024 * 1024;
constexpr const char* kCutNote =
    "<p class=\"hx-message-cut\"><i>[This message is larger than 8 MB; the rest of it is not shown.]</i></p>";

// Spare room fetched pages get for what is inserted before they are sanitised (the wrapper of a
// text body, the paragraph style, the cut note), so that none of it copies the page.
constexpr std::size_t kPageRoom = 1024;

constexpr WORD kNativeMimeNameLength = 18; // "$NoteHasNativeMIME"
constexpr STATUS kStatusMask = 0x3fff;

// Frees a text's memory now rather than at the end of the scope.
void freeText(Lattice::String& text) {
    std::string().swap(text.str());
}

// Cuts `body` to the limit, at the start of a tag (of a line, for text) close below it so that no
// tag or line is left half, else at a character boundary. Returns whether it cut.
bool cutToLimit(Lattice::String& body, bool isText) {
    std::string& s = body.str();
    if (s.size() <= static_cast<std::size_t>(kMaxBodyBytes))
        return false;
    std::size_t at = static_cast<std::size_t>(kMaxBodyBytes);
    const std::size_t boundary = s.rfind(isText ? '\n' : '<', at);
    if (boundary != std::string::npos && boundary > 0 && boundary + 64 * 1024 > at) {
        at = boundary;
    } else {
        while (at > 0 && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80)
            --at;
    }
    // A fetched page has room for the head and note inserted later, and is cut where it is;
    // anything else is copied out with that room, which would otherwise double it.
    if (s.capacity() >= at + 1024) {
        s.resize(at);
        return true;
    }
    std::string kept;
    kept.reserve(at + 1024);
    kept.append(s, 0, at);
    s.swap(kept);
    return true;
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive search over a whole body, which can run to megabytes: the markers looked for
// start with '<', so the candidates are found sixteen (else eight) positions at a time.
long findNoCase(std::string_view s, std::string_view what) {
    if (what.empty() || what.size() > s.size())
        return what.empty() ? 0 : -1;
    const char first = what.front();
    const char* data = s.data();
    const std::size_t last = s.size() - what.size();
    const auto matches = [&](std::size_t at) {
        std::size_t i = 0;
        while (i < what.size() && lowerAscii(data[at + i]) == lowerAscii(what[i]))
            ++i;
        return i == what.size();
    };
    std::size_t at = 0;
    if (lowerAscii(first) != first || (first >= 'a' && first <= 'z')) {
        for (; at <= last; ++at)
            if (matches(at))
                return static_cast<long>(at);
        return -1;
    }
    // The positions where `first` stands and the next is the second character in either case
    // (the test may report a few more, never fewer).
    const char second = what.size() > 1 ? lowerAscii(what[1]) : first;
    const char secondUpper = second >= 'a' && second <= 'z' ? static_cast<char>(second - 'a' + 'A') : second;
    constexpr std::uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const auto hasByte = [](std::uint64_t v, char c) {
        const std::uint64_t x = v ^ (ones * static_cast<unsigned char>(c));
        return (x - ones) & ~x & highs;
    };
#if defined(__SSE2__)
    const __m128i firsts = _mm_set1_epi8(first), seconds = _mm_set1_epi8(second),
                  secondsUpper = _mm_set1_epi8(secondUpper);
    for (; at + 17 <= last + 1 && what.size() > 1; at += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + 1));
        const __m128i hit =
            _mm_and_si128(_mm_cmpeq_epi8(here, firsts),
                          _mm_or_si128(_mm_cmpeq_epi8(next, seconds), _mm_cmpeq_epi8(next, secondsUpper)));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask; mask &= mask - 1) {
            const std::size_t k = at + static_cast<std::size_t>(__builtin_ctz(mask));
            if (matches(k))
                return static_cast<long>(k);
        }
    }
#endif
    for (; at + 9 <= last + 1 && what.size() > 1; at += 8) {
        std::uint64_t here, next;
        std::memcpy(&here, data + at, 8);
        std::memcpy(&next, data + at + 1, 8);
        if (!(hasByte(here, first) & (hasByte(next, second) | hasByte(next, secondUpper))))
            continue;
        for (std::size_t k = at; k < at + 8; ++k)
            if (data[k] == first && matches(k))
                return static_cast<long>(k);
    }
    for (; at <= last; ++at)
        if (data[at] == first && matches(at))
            return static_cast<long>(at);
    return -1;
}

long findNoCase(const Lattice::String& text, std::string_view what) {
    return findNoCase(text.view(), what);
}

// Searching a whole body for a marker. Sixteen positions at a time where the marker's first and
// last characters both stand (the rare pairs are what make a marker), else memmem, which is still
// several times faster than a plain search.
long findIn(std::string_view s, std::string_view what, long from = 0) {
    if (from < 0 || static_cast<std::size_t>(from) > s.size())
        return -1;
    auto at = static_cast<std::size_t>(from);
#if defined(__SSE2__)
    if (what.size() >= 2) {
        const std::size_t last = what.size() - 1;
        const __m128i firsts = _mm_set1_epi8(what.front()), lasts = _mm_set1_epi8(what.back());
        for (; at + last + 16 <= s.size(); at += 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at));
            const __m128i there = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + at + last));
            const __m128i hit = _mm_and_si128(_mm_cmpeq_epi8(here, firsts), _mm_cmpeq_epi8(there, lasts));
            for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask; mask &= mask - 1) {
                const std::size_t k = at + static_cast<std::size_t>(__builtin_ctz(mask));
                if (std::memcmp(s.data() + k + 1, what.data() + 1, last - 1) == 0)
                    return static_cast<long>(k);
            }
        }
    }
#endif
#if defined(_WIN32)
    // The Windows C runtime has no memmem.
    const std::size_t found = s.find(what, at);
    return found == std::string_view::npos ? -1 : static_cast<long>(found);
#else
    const void* hit = memmem(s.data() + at, s.size() - at, what.data(), what.size());
    return hit ? static_cast<long>(static_cast<const char*>(hit) - s.data()) : -1;
#endif
}

long findIn(const Lattice::String& text, std::string_view what, long from = 0) {
    return findIn(text.view(), what, from);
}

// One pass over a body for what the paragraph style depends on: whether the marker of an inserted
// style is anywhere in it (`marker`) and, if not, where its first "<head" is (`head`, -1 if none).
void findHeadAndMarker(std::string_view s, bool& marker, long& head) {
    marker = false;
    head = -1;
    const std::string_view markerText(kParagraphStyleMarker);
    const auto at = [&](std::size_t k) {
        const std::string_view rest = s.substr(k);
        const auto is = [&rest](std::string_view what) {
            if (rest.size() < what.size())
                return false;
            for (std::size_t i = 0; i < what.size(); ++i)
                if (lowerAscii(rest[i]) != lowerAscii(what[i]))
                    return false;
            return true;
        };
        if (is(markerText)) {
            marker = true;
            return true; // nothing more to learn
        }
        if (head < 0 && is("<head"))
            head = static_cast<long>(k);
        return false;
    };
    std::size_t k = 0;
#if defined(__SSE2__)
    // Sixteen positions at a time: a '<' followed by an 's' or an 'h' in either case.
    const __m128i lt = _mm_set1_epi8('<'), fold = _mm_set1_epi8(0x20), es = _mm_set1_epi8('s'),
                  aitch = _mm_set1_epi8('h');
    for (; k + 17 <= s.size(); k += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + k));
        const __m128i next =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + k + 1)), fold);
        const __m128i hit = _mm_and_si128(
            _mm_cmpeq_epi8(here, lt), _mm_or_si128(_mm_cmpeq_epi8(next, es), _mm_cmpeq_epi8(next, aitch)));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask; mask &= mask - 1)
            if (at(k + static_cast<std::size_t>(__builtin_ctz(mask))))
                return;
    }
#endif
    for (; k < s.size(); ++k)
        if (s[k] == '<' && at(k))
            return;
}

constexpr std::string_view kRichTextStart = "<html><body>";
constexpr std::string_view kRichTextEnd = "</body></html>";
constexpr std::string_view kHeadOpen = "<head>";
constexpr std::string_view kHeadClose = "</head>";

// What convertBody makes of an HTML page before sanitising it (the rich-text cut, the paragraph
// style in the head), made in the page's own buffer: the wrapper goes where the cut-off header
// table was, the tail marker's bytes take the wrapper's end, and the style is made room for by
// moving the few bytes in front of the head, not the megabytes after it. `html` gets the result,
// a range of `s`. Returns false, with `s` unchanged, where that does not fit or the body is too
// large and must be cut; the steps are then taken one by one.
bool prepareInPlace(std::string& s, bool isMime, std::string_view& html) {
    std::size_t begin = 0, end = s.size();
    bool wrapped = false;
    if (!isMime) {
        if (const long table = findIn(std::string_view(s), "</table>"); table >= 0) {
            const long start = table + 8;
            if (const long input = findIn(std::string_view(s), kFormFieldMarker, start); input >= 0) {
                begin = static_cast<std::size_t>(start);
                end = static_cast<std::size_t>(input);
                wrapped = true;
            }
        }
    }
    const std::size_t wrapper = wrapped ? kRichTextStart.size() + kRichTextEnd.size() : 0;
    if (end - begin + wrapper > static_cast<std::size_t>(kMaxBodyBytes))
        return false;
    const std::string_view body = std::string_view(s).substr(begin, end - begin);
    const std::string_view style(kParagraphStyle);
    // Where the style goes, as insertHTMLHeadProp places it, in the coordinates of `body` (the
    // wrapper's start cannot hold a marker, "<head" or a '>' after one, its end cannot hold the
    // marker or "<head", nor complete one begun in the body).
    std::size_t at = std::string_view::npos;
    bool headMade = false;
    bool marker = false;
    long head = -1;
    findHeadAndMarker(body, marker, head);
    if (!marker) {
        if (head >= 0) {
            const std::size_t close = body.find('>', static_cast<std::size_t>(head));
            if (close == std::string_view::npos)
                return false; // the '>' would be the wrapper's
            at = close + 1;
        } else if (wrapped) {
            at = 0; // after the wrapper's "<html>", made below
            headMade = true;
        } else if (const long top = findNoCase(body, "<HTML"); top >= 0) {
            const std::size_t close = body.find('>', static_cast<std::size_t>(top));
            if (close != std::string_view::npos) {
                at = close + 1;
                headMade = true;
            }
        }
    }
    const std::size_t inserted = at == std::string_view::npos
                                     ? 0
                                     : style.size() + (headMade ? kHeadOpen.size() + kHeadClose.size() : 0);
    const std::size_t front = wrapped ? kRichTextStart.size() : 0;
    if (begin >= front + inserted) {
        // Everything before the insertion moves down into the cut-off part.
        const std::size_t first = begin - front - inserted;
        char* to = s.data() + first;
        const auto put = [&to](std::string_view piece) {
            std::memcpy(to, piece.data(), piece.size());
            to += piece.size();
        };
        const auto insert = [&] {
            if (!inserted)
                return;
            if (headMade)
                put(kHeadOpen);
            put(style);
            if (headMade)
                put(kHeadClose);
        };
        if (wrapped && headMade) {
            put(kRichTextStart.substr(0, 6)); // "<html>", the head, "<body>"
            insert();
            put(kRichTextStart.substr(6));
        } else {
            std::memmove(to + front, s.data() + begin, at == std::string_view::npos ? 0 : at);
            if (wrapped)
                put(kRichTextStart);
            to += at == std::string_view::npos ? 0 : at;
            insert();
        }
        if (wrapped)
            std::memcpy(s.data() + end, kRichTextEnd.data(), kRichTextEnd.size()); // over the tail marker
        html = std::string_view(s).substr(first, front + inserted + (end - begin) +
                                                     (wrapped ? kRichTextEnd.size() : 0));
        return true;
    }
    if (wrapped)
        return false; // a page whose header table is shorter than what goes in its place
    // A page that is the body itself (MIME): the rest of it moves up, once, into the room it
    // was fetched with.
    if (inserted) {
        if (s.capacity() < s.size() + inserted)
            s.reserve(s.size() + inserted + 256);
        std::string piece;
        if (headMade)
            piece.append(kHeadOpen).append(style).append(kHeadClose);
        else
            piece.append(style);
        s.insert(at, piece);
    }
    html = s;
    return true;
}

} // namespace

Lattice::String NotesMessage::webDatabaseUrl() {
    return database ? "http://" + database->getFullDatabasePath(false, true) : String("http://localhost/");
}

Lattice::Array<Lattice::String> NotesMessage::credentialHeaders() {
    Lattice::Array<String> headers;
    if (provider && provider->getUser())
        headers.add(provider->getUser()->getBase64Credentials());
    return headers;
}

Lattice::Array<_ContentIdStruct>* NotesMessage::contentIdTable() {
    return provider ? &provider->getContentIds() : nullptr;
}

long NotesMessage::loadDetail(Lattice::SchemaBase* schema) {
    auto* detail = dynamic_cast<hxMail::MessageDetail*>(schema);
    if (!detail)
        return 0;
    detail->set_body(Lattice::Ptr<hxMail::MessageBody>(new hxMail::MessageBody()));
    if (!document || loadFailed_)
        return 0;

    if (messageType_ != 0) {
        // A reply or forward being prepared takes the body and attachments only.
        isMime_ = isMimeBody();
        loadBodyHTTP(detail, false, true);
        return 0;
    }

    // Mail from gateways and damaged imports may lack "From"; in throw-all-errors mode the read
    // would throw and take the recipients, body and attachments with it.
    LNString sender;
    if (document->HasItem("From") && LNMailMessage(*document).GetSender(&sender) == LNNOERROR &&
        !sender.IsNull()) {
        hxMail::Recipient* found = nullptr;
        NotesUser* user = nullptr;
        if (loadRecipient(sender, &found, &user) && found) {
            // Held here before the user that owns it goes.
            Lattice::Ptr<hxMail::Recipient> from(found);
            from->set_recipientType(0);
            detail->set_from(from);
        }
        if (user)
            user->release();
    }

    Lattice::Ptr<hxMail::Recipients> to = new hxMail::Recipients();
    Lattice::Ptr<hxMail::Recipients> cc = new hxMail::Recipients();
    Lattice::Ptr<hxMail::Recipients> bcc = new hxMail::Recipients();
    loadRecipients(to.get(), cc.get(), bcc.get());
    if (to->count() > 0)
        detail->set_to(to);
    if (cc->count() > 0)
        detail->set_cc(cc);
    if (bcc->count() > 0)
        detail->set_bcc(bcc);

    loadBodyHTTP(detail, false, false);
    return 0;
}

void NotesMessage::loadBodyHTTP(hxMail::MessageDetail* detail, bool useExistingBody, bool attachmentsOnly) {
    isMime_ = isMimeBody();
    const String url = webDatabaseUrl() + "($All)/" + messageId_ + "?OpenDocument";
    web::Response page = web::get(url, credentialHeaders(), kPageRoom);
    if (page.status == 0) {
        // The page is handed from step to step, never copied: it can run to megabytes.
        bool isText = false;
        String text = page.takeText();
        if (isMime_)
            text = requestMimeBody(std::move(text), isText);
        if (detail && useExistingBody) {
            detail->set_textType("html");
            if (hxMail::MessageBody* body = detail->get_body().get())
                body->get_text() = convertBody(std::move(text), isText);
        } else if (detail && !attachmentsOnly) {
            Lattice::Ptr<hxMail::MessageBody> body = new hxMail::MessageBody();
            detail->set_body(body);
            detail->set_textType("html");
            body->get_text() = convertBody(std::move(text), isText);
            parseRTFContentIds(body->get_text());
        }
    }
    if (detail)
        loadAttachments(detail);
}

NOTEHANDLE NotesMessage::openRawNote() {
    document.reset();
    note = nullptr;
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    const DBHANDLE hDb = db ? db->GetDatabaseHandle() : NULLHANDLE;
    NOTEHANDLE hNote = NULLHANDLE;
    if (hDb == NULLHANDLE ||
        NSFNoteOpenExt(hDb, static_cast<NOTEID>(noteId), OPEN_RAW_MIME, &hNote) != NOERROR)
        return NULLHANDLE;
    return hNote;
}

void NotesMessage::reopenDocument() {
    String id = universalId;
    try {
        NotesDocument::openDocument(id, provider, false);
    } catch (LNSTATUS) {
        loadFailed_ = true;
    }
}

bool NotesMessage::isMimeBody() {
    bool native = false;
    try {
        const NOTEHANDLE hNote = openRawNote();
        if (hNote != NULLHANDLE) {
            native = NSFItemInfo(hNote, "$NoteHasNativeMIME", kNativeMimeNameLength, nullptr, nullptr,
                                 nullptr, nullptr) == NOERROR;
            NSFNoteClose(hNote);
        }
    } catch (LNSTATUS) {
        native = false;
    }
    reopenDocument();
    return native;
}

Lattice::String NotesMessage::requestMimeBody(String page, bool& isText) {
    if (const long pre = findIn(page, "<pre>"); pre >= 0) {
        const long start = pre + 5;
        if (const long end = findIn(page, "</pre>", start); end >= 0) {
            isText = true;
            page.str().erase(static_cast<std::size_t>(end));
            page.str().erase(0, static_cast<std::size_t>(start));
            return page;
        }
    }
    String part;
    if (const long link = findIn(page, kBodyLinkMarker); link >= 0) {
        const long start = link + 6; // the "/mail" after href and its quote
        const long end = page.find('"', start);
        part = page.substring(start, end < 0 ? String::npos : end - start);
        if (const long nsf = part.find(".nsf"); nsf >= 0)
            part = part.substring(nsf + 5);
    }
    freeText(page);
    web::Response body = web::get(webDatabaseUrl() + part, credentialHeaders(), kPageRoom);
    return body.status == 0 ? body.takeText() : String();
}

Lattice::String NotesMessage::convertBody(String body, bool isText) {
    // Each step works on the one text in place or hands it on, so opening a body costs a small
    // multiple of it; what is past the limit is cut off first.
    bool cut = false;
    String html = std::move(body);
    if (std::string_view prepared; !isText && prepareInPlace(html.str(), isMime_, prepared)) {
        // The result is written over the page as it is read: no second buffer of its size.
        if (Lattice::HTMLEncode::isUTF8Body(prepared)) {
            const auto offset = static_cast<std::size_t>(prepared.data() - html.str().data());
            return Lattice::HTMLEncode::stripScript(std::move(html), offset, prepared.size(), false, true);
        }
        String clean = Lattice::HTMLEncode::stripScript(
            Lattice::HTMLEncode::convertBodyToUTF(String(prepared)), false, true);
        freeText(html);
        return clean;
    }
    if (isText) {
        cut = cutToLimit(html, true);
        std::string& text = html.str();
        std::string start;
        start.reserve(256);
        start += kTextPageStart;
        start += kPreStyleFirst;
        start += kPreStyleSecond;
        start += kBeforeText;
        text.reserve(text.size() + start.size() + 64);
        text.insert(0, start);
        text += kAfterText;
        text += kTextPageEnd;
    }
    html = stripHTML(std::move(html));
    if (!isText)
        cut = cutToLimit(html, false);
    // Growing a full text by a few bytes would double its buffer; fetched pages come with room.
    html.reserve(html.length() + 256);
    insertHTMLHeadProp(html, kParagraphStyle, kParagraphStyleMarker);
    html = Lattice::HTMLEncode::convertBodyToUTF(std::move(html));
    // NUL reaches the reader as U+FFFD, as a browser shows it: the sanitizer writes it so.
    String clean = Lattice::HTMLEncode::stripScript(html, false, true);
    freeText(html);
    if (cut) {
        // Inside the message's container, after everything shown.
        const long close = clean.findLast("</div>");
        clean.str().insert(close >= 0 ? static_cast<std::size_t>(close) : clean.str().size(), kCutNote);
    }
    return clean;
}

Lattice::String NotesMessage::stripHTML(String page) {
    if (isMime_)
        return page;
    const long table = findIn(page, "</table>");
    if (table < 0)
        return page;
    const long start = table + 8;
    const long input = findIn(page, kFormFieldMarker, start);
    if (input < 0)
        return page;
    // Cut in place: the page is the largest thing held while a body opens.
    std::string& text = page.str();
    text.erase(static_cast<std::size_t>(input));
    text.replace(0, static_cast<std::size_t>(start), "<html><body>");
    text += "</body></html>";
    return page;
}

void NotesMessage::insertHTMLHeadProp(String& html, const String& property, const String& marker) {
    if (findNoCase(html, marker.view()) >= 0)
        return;
    if (const long head = findNoCase(html, "<HEAD"); head >= 0) {
        const long close = html.find('>', head);
        if (close >= 0)
            html.str().insert(static_cast<std::size_t>(close + 1), property.str());
        return;
    }
    if (const long top = findNoCase(html, "<HTML"); top >= 0) {
        const long close = html.find('>', top);
        if (close >= 0)
            html.str().insert(static_cast<std::size_t>(close + 1), ("<head>" + property + "</head>").str());
    }
}

void NotesMessage::parseRTFContentIds(const String& html) {
    contentIdCount_ = 0;
    Lattice::Array<_ContentIdStruct>* table = contentIdTable();
    if (!table)
        return;
    long from = 0;
    for (long at = findIn(html, kImageSourceMarker, from); at >= 0;
         at = findIn(html, kImageSourceMarker, from)) {
        const long start = at + 5;
        const long end = html.find('"', start);
        const String path = html.substring(start, end < 0 ? String::npos : end - start);
        _ContentIdStruct record;
        record.sourcePath = path;
        table->add(record);
        ++contentIdCount_;
        from = start + path.length();
    }
}

void NotesMessage::loadMimeBody(Lattice::SchemaBase* schema, bool, bool asReply) {
    auto* target = dynamic_cast<hxMail::MessageDetail*>(schema);
    if (!target || !provider)
        return;
    Lattice::Ptr<hxMailLib::Mime::Email> email = new hxMailLib::Mime::Email();
    parseMimeBodies(email.get());

    Lattice::Ptr<hxMail::MessageDetail> detail(target);
    hxMailConversion::cast_MimeEMail_To_MessageDetail(email.get(), detail, provider->getConversionSettings(),
                                                      provider->getClientId());
    if (asReply)
        hxMailConversion::convertToReply(
            detail, Lattice::DateTimeUtil::getSMTPDateString(email->getOrigDate()), email->getSubject());

    Lattice::Ptr<hxMail::MessageBody> body = detail->get_body();
    if (!body)
        body = new hxMail::MessageBody();
    body->get_text() = convertBody(std::move(body->get_text()), false);
    detail->set_body(body);
    parseContentIds(body->get_text());
}

void NotesMessage::parseMimeBodies(hxMailLib::Mime::Email* email) {
    const NOTEHANDLE hNote = openRawNote();
    if (hNote == NULLHANDLE) {
        reopenDocument();
        return;
    }
    BLOCKID item{};
    WORD type = 0;
    BLOCKID value{};
    DWORD length = 0;
    if (NSFItemInfo(hNote, "Body", 4, &item, &type, &value, &length) != NOERROR) {
        std::printf("Error:  unable to get info about item 'Body'\n");
        std::fflush(stdout);
        NSFNoteClose(hNote);
        return;
    }
    for (;;) {
        char name[81] = {};
        WORD nameLength = 0;
        WORD flags = 0;
        NSFItemQuery(hNote, item, name, 80, &nameLength, &flags, &type, &value, &length);
        char* bytes = OSLockBlock(char, value);
        if (bytes && length >= sizeof(WORD)) {
            WORD itemType = 0;
            std::memcpy(&itemType, bytes, sizeof itemType);
            parseSingleBody(email, itemType, name, nameLength, bytes + sizeof(WORD), length - sizeof(WORD));
        }
        OSUnlockBlock(value);

        const STATUS next = NSFItemInfoNext(hNote, item, "Body", 4, &item, &type, &value, &length);
        if ((next & kStatusMask) == ERR_ITEM_NOT_FOUND) {
            std::printf("No more items found in note.\n");
            break;
        }
        if (next != NOERROR) {
            std::printf("Error: unable to get info about next item in note.\n");
            break;
        }
    }
    std::fflush(stdout);
    NSFNoteClose(hNote);
    reopenDocument();
}

void NotesMessage::parseSingleBody(hxMailLib::Mime::Email* email, unsigned short itemType, char*,
                                   unsigned short, void* value, unsigned long valueLength) {
    if (!email || !value || itemType != TYPE_MIME_PART || valueLength < ODSLength(_MIME_PART))
        return;
    void* cursor = value;
    MIME_PART part{};
    ODSReadMemory(&cursor, _MIME_PART, &part, 1);
    const unsigned long available = valueLength - ODSLength(_MIME_PART);
    const std::size_t textLength = std::min<unsigned long>(part.wByteCount, available);
    if (part.cPartType != MIME_PART_BODY)
        return;
    const String text(static_cast<const char*>(cursor), textLength);
    // The part starts with its boundary line; the decoder wants headers first.
    const long lineEnd = text.find("\r\n", 3);
    if (lineEnd < 0)
        return;
    const long start = lineEnd + 2;
    const long end = text.length() - 1;
    if (end <= start)
        return;
    Lattice::Ptr<hxMailLib::Mime::MimeBase> decoded = hxMailLib::Mime::MimeBase::decodeMimeFromString(
        text.substring(start, end - start), Lattice::Map<String, String>(), true);
    if (decoded)
        email->addBodyPart(decoded);
}

void NotesMessage::parseContentIds(String html) {
    Lattice::Array<_ContentIdStruct>* table = contentIdTable();
    if (!table)
        return;
    long from = 0;
    for (long at = findIn(html, "cid:", from); at >= 0; at = findIn(html, "cid:", from)) {
        const long end = html.find('"', at);
        const String reference = html.substring(at, end < 0 ? String::npos : end - at);
        _ContentIdStruct record;
        record.contentId = reference;
        table->add(record);
        from = at + reference.length();
    }
}

} // namespace hxMail::hxNotesProvider
