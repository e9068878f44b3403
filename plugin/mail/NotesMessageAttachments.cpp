// Attachments of a memo: its file attachments, the pictures embedded in its rich text, which the
// host serves through its own links, the leaves of a MIME memo besides its body and the text of it
// that no leaf holds; the bytes of each on request.
#include "mail/NotesMessage.h"
#include "mail/NotesWeb.h"

#include "notes/NotesErrors.h"
#include "provider/MailProvider.h"

#include "Lattice/Settings.h"
#include "hxMime/Mime.h"
#include "notes/capi.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace hxMail::hxNotesProvider {

namespace {

Lattice::String textOf(const LNString& s) {
    return Lattice::String(s.GetTextPtr(), static_cast<std::size_t>(s.GetByteLength()));
}

Lattice::String attachmentId(long number, const Lattice::String& messageId) {
    return "att_" + Lattice::String::fromLong(number) + "_" + messageId;
}

// Collects an extraction into a buffer of the recorded size.
struct ExtractSink {
    char* buffer = nullptr;
    DWORD size = 0;
    DWORD count = 0;
};

STATUS collectChunk(const BYTE* bytes, DWORD length, void* param) {
    auto* sink = static_cast<ExtractSink*>(param);
    if (length == 0) {
        if (sink->count != sink->size) {
            std::printf("error-total attachment bytes read not equal to file size\n");
            std::fflush(stdout);
        }
        return NOERROR;
    }
    if (sink->count < sink->size) {
        const DWORD room = sink->size - sink->count;
        std::memcpy(sink->buffer + sink->count, bytes, std::min(room, length));
    }
    sink->count += length;
    return NOERROR;
}

using MimePart = Lattice::Ptr<hxMailLib::Mime::MimeBase>;

// Leaves of a MIME memo are numbered far past the pictures, whose numbers grow with every body
// the session opens.
constexpr long kFirstLeafNumber = 1000000;

// The message as its "Body" parts hold it, in order, and apart the stretches of it that lie
// outside every leaf: header blocks, and the gaps between leaves (preamble, boundary lines, nested
// multipart headers, epilogue, what the parser could not place). A file leaf holds only where its
// bytes went, which is harmless: those leaves are offered as the note's file attachments.
struct Stretch {
    std::string text;
    bool headers = false;
};

struct StoredBody {
    Lattice::String message;
    std::vector<Stretch> outside;
};

StoredBody storedMessage(NOTEHANDLE hNote) {
    StoredBody stored;
    int lastKind = 0; // 0 a leaf's content, 1 a gap, 2 a header block
    BLOCKID item{};
    WORD type = 0;
    BLOCKID value{};
    DWORD length = 0;
    STATUS status = NSFItemInfo(hNote, "Body", 4, &item, &type, &value, &length);
    while (status == NOERROR) {
        char* bytes = OSLockBlock(char, value);
        WORD itemType = 0;
        if (bytes && length >= sizeof(WORD) + ODSLength(_MIME_PART))
            std::memcpy(&itemType, bytes, sizeof itemType);
        if (itemType == TYPE_MIME_PART) {
            void* cursor = bytes + sizeof(WORD);
            MIME_PART part{};
            ODSReadMemory(&cursor, _MIME_PART, &part, 1);
            const DWORD available = length - sizeof(WORD) - ODSLength(_MIME_PART);
            const std::string_view text(static_cast<const char*>(cursor),
                                        std::min<DWORD>(part.wByteCount, available));
            stored.message.str().append(text);
            const bool gap = part.cPartType == MIME_PART_PROLOG || part.cPartType == MIME_PART_EPILOG;
            // A header block stored apart from its content (the parts of a body kept byte for byte).
            const bool headers = part.cPartType == MIME_PART_MESSAGE ||
                                 ((part.dwFlags & MIME_PART_HAS_HEADERS) != 0 && part.wBoundaryLen == 0 &&
                                  part.wHeadersLen == part.wByteCount);
            const int kind = gap ? 1 : headers ? 2 : 0;
            if (kind != 0 && kind != lastKind)
                stored.outside.push_back({std::string(), headers});
            if (kind != 0)
                stored.outside.back().text.append(text);
            lastKind = kind;
        }
        OSUnlockBlock(value);
        status = NSFItemInfoNext(hNote, item, "Body", 4, &item, &type, &value, &length);
    }
    return stored;
}

// The line at `at` without its line end; *next is where the following one starts.
std::string_view lineAt(std::string_view text, std::size_t at, std::size_t* next) {
    const std::size_t nl = text.find('\n', at);
    *next = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    if (end > at && text[end - 1] == '\r')
        --end;
    return text.substr(at, end - at);
}

std::string_view trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") + 1 - first);
}

// "--boundary" or "--boundary--" of a multipart the parser recognised; *opens when it starts a part.
bool isDelimiter(std::string_view line, const std::vector<std::string>& boundaries, bool* opens) {
    line = trimmed(line);
    if (line.size() < 3 || line.substr(0, 2) != "--")
        return false;
    line.remove_prefix(2);
    for (const std::string& boundary : boundaries) {
        if (line == boundary) {
            *opens = true;
            return true;
        }
        if (line.size() == boundary.size() + 2 && line.substr(0, boundary.size()) == boundary &&
            line.substr(boundary.size()) == "--") {
            *opens = false;
            return true;
        }
    }
    return false;
}

bool isHeaderLine(std::string_view line, bool continues) {
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t'))
        return continues;
    std::size_t i = 0;
    while (i < line.size() && line[i] > ' ' && line[i] < 127 && line[i] != ':')
        ++i;
    const std::size_t nameEnd = i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i; // obsolete syntax allows blanks before the colon
    return nameEnd > 0 && i < line.size() && line[i] == ':';
}

// What mail programs write into a preamble for readers without MIME: nothing a reader misses.
bool isBoilerplate(std::string_view line) {
    std::string text(trimmed(line));
    while (!text.empty() && (text.back() == '.' || text.back() == '!'))
        text.pop_back();
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.empty() || text == "this is a multi-part message in mime format" ||
           text == "this is a multipart message in mime format" ||
           text == "this is a mime-encapsulated message" || text == "this is a message in mime format";
}

// The runs of a stretch outside the leaves that are neither header or multipart syntax nor
// boilerplate, as bytes of the message. The line end before a delimiter belongs to the delimiter.
// A line of a header block that is no header is text the parser could not tell from them.
void unplacedRuns(std::string_view gap, bool headerBlock, const std::vector<std::string>& boundaries,
                  std::vector<std::string>& runs) {
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t runBegin = kNone;
    std::size_t runEnd = 0; // end of the run's last line, line end included
    bool meaningful = false;
    const auto close = [&](bool beforeDelimiter) {
        if (runBegin == kNone)
            return;
        std::size_t end = runEnd;
        if (beforeDelimiter && end > runBegin && gap[end - 1] == '\n') {
            --end;
            if (end > runBegin && gap[end - 1] == '\r')
                --end;
        }
        if (meaningful && end > runBegin)
            runs.emplace_back(gap.substr(runBegin, end - runBegin));
        runBegin = kNone;
        meaningful = false;
    };
    bool inHeaders = headerBlock;
    bool headerContinues = false;
    for (std::size_t at = 0, next = 0; at < gap.size(); at = next) {
        const std::string_view line = lineAt(gap, at, &next);
        bool opens = false;
        if (isDelimiter(line, boundaries, &opens)) {
            close(true);
            inHeaders = opens; // a nested multipart's header block follows
            headerContinues = false;
            continue;
        }
        if (inHeaders) {
            if (line.empty()) {
                close(false);
                inHeaders = false;
                continue;
            }
            if (isHeaderLine(line, headerContinues) || (at == 0 && line.rfind("From ", 0) == 0)) {
                close(false);
                headerContinues = true;
                continue;
            }
            headerContinues = false;
            // Within a stored header block a stray line stays among headers; in a gap it ends them.
            inHeaders = headerBlock;
        }
        if (runBegin == kNone)
            runBegin = at;
        meaningful = meaningful || !isBoilerplate(line);
        runEnd = next;
    }
    close(false);
}

struct Leaf {
    MimePart part;
    const void* parent = nullptr; // identifies the multipart holding it, if any
    bool inAlternative = false;
};

void collectLeaves(const MimePart& part, const hxMailLib::Mime::MimeBase& parent, std::vector<Leaf>& leaves,
                   std::vector<std::string>& boundaries) {
    if (!part)
        return;
    if (auto* multipart = dynamic_cast<hxMailLib::Mime::Multipart*>(part.get())) {
        if (!multipart->getBoundary().isEmpty())
            boundaries.push_back(multipart->getBoundary().str());
        for (long i = 0; i < multipart->getParts().count(); ++i)
            collectLeaves(multipart->getParts()[i], *multipart, leaves, boundaries);
        return;
    }
    leaves.push_back({part, &parent, parent.getContentType().is("multipart", "alternative")});
}

// Named or marked as attachment: never the body, as the web task decides.
bool isAttachedLeaf(const hxMailLib::Mime::MimeBase& leaf) {
    return !leaf.getFileName().isEmpty() || leaf.getDisposition() == "attachment";
}

// Stored as one of the note's "$FILE" attachments, and listed as such.
bool isFileLeaf(const hxMailLib::Mime::MimeBase& leaf) {
    return leaf.getDisposition() == "attachment" ||
           (!leaf.getFileName().isEmpty() && !leaf.getContentType().isText());
}

// The leaf shown as the body: the first unattached HTML part, else the first unattached text.
long bodyLeaf(const std::vector<Leaf>& leaves) {
    for (const char* subtype : {"html", "plain"})
        for (std::size_t i = 0; i < leaves.size(); ++i)
            if (leaves[i].part->getContentType().is("text", subtype) && !isAttachedLeaf(*leaves[i].part))
                return static_cast<long>(i);
    return -1;
}

// Another rendering of the body's own text, which the reader sees already.
bool isBodyAlternative(const std::vector<Leaf>& leaves, long body, const Leaf& leaf) {
    if (body < 0 || !leaf.parent || leaf.parent != leaves[static_cast<std::size_t>(body)].parent)
        return false;
    return leaf.inAlternative && leaf.part->getContentType().isText() && !isAttachedLeaf(*leaf.part);
}

Lattice::String leafName(const hxMailLib::Mime::MimeBase& leaf, long index) {
    const hxMailLib::Mime::ContentType& type = leaf.getContentType();
    if (type.is("message", "rfc822")) {
        hxMailLib::Mime::Email inner;
        const auto* single = dynamic_cast<const hxMailLib::Mime::SinglePart*>(&leaf);
        if (single && inner.decodeHeadersFromString(single->getContent()) && !inner.getSubject().isEmpty())
            return inner.getSubject() + ".eml";
    }
    if (!leaf.getFileName().isEmpty())
        return leaf.getFileName();
    const char* extension = type.is("text", "html")                        ? "html"
                            : type.is("message", "rfc822")                 ? "eml"
                            : type.isText() || type.getType() == "message" ? "txt"
                                                                           : "bin";
    return "part-" + Lattice::String::fromLong(index + 1) + "." + extension;
}

// A stored message parsed into its leaves (the message is kept: the leaves point into it), and the
// runs of its bytes that no leaf holds and that a reader would miss.
struct ParsedMessage {
    Lattice::Ptr<hxMailLib::Mime::Email> email;
    std::vector<Leaf> leaves;
    std::vector<std::string> unplaced;
};

ParsedMessage parseMessage(const StoredBody& stored) {
    ParsedMessage parsed;
    parsed.email = new hxMailLib::Mime::Email();
    std::vector<std::string> boundaries;
    if (!stored.message.isEmpty() && parsed.email->decodeFromString(stored.message)) {
        if (!parsed.email->getBoundary().isEmpty())
            boundaries.push_back(parsed.email->getBoundary().str());
        for (long i = 0; i < parsed.email->getBodyParts().count(); ++i)
            collectLeaves(parsed.email->getBodyParts()[i], *parsed.email, parsed.leaves, boundaries);
    }
    for (const Stretch& stretch : stored.outside)
        unplacedRuns(stretch.text, stretch.headers, boundaries, parsed.unplaced);
    return parsed;
}

// The host lists a message's leaves and then fetches each in a call of its own, which would parse
// the stored message every time. The last few parses are kept, keyed by the note as it is now: its
// database, id, universal id, sequence and modification time, so a changed note is parsed afresh.
// The parts' reference counts are not atomic, so they are touched only under the lock.
struct ParsedKey {
    std::string database;
    NOTEID noteId = 0;
    ORIGINATORID oid{};
    TIMEDATE modified{};

    bool operator==(const ParsedKey& o) const {
        return database == o.database && noteId == o.noteId && oid.File.Innards[0] == o.oid.File.Innards[0] &&
               oid.File.Innards[1] == o.oid.File.Innards[1] && oid.Note.Innards[0] == o.oid.Note.Innards[0] &&
               oid.Note.Innards[1] == o.oid.Note.Innards[1] && oid.Sequence == o.oid.Sequence &&
               oid.SequenceTime.Innards[0] == o.oid.SequenceTime.Innards[0] &&
               oid.SequenceTime.Innards[1] == o.oid.SequenceTime.Innards[1] &&
               modified.Innards[0] == o.modified.Innards[0] && modified.Innards[1] == o.modified.Innards[1];
    }
};

class ParsedMessages {
public:
    // Runs `use` on the parse of the note open as `hNote`, parsing it only when no parse of the
    // note as it is now is kept.
    template <typename Use> void with(const ParsedKey& key, NOTEHANDLE hNote, Use&& use) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto at = entries_.begin();
        while (at != entries_.end() && !(at->first == key))
            ++at;
        if (at == entries_.end()) {
            entries_.emplace_front(key, parseMessage(storedMessage(hNote)));
            if (entries_.size() > kKept)
                entries_.pop_back();
        } else if (at != entries_.begin()) {
            entries_.splice(entries_.begin(), entries_, at);
        }
        use(static_cast<const ParsedMessage&>(entries_.front().second));
    }

private:
    static constexpr std::size_t kKept = 4;
    std::mutex mutex_;
    std::list<std::pair<ParsedKey, ParsedMessage>> entries_;
};

ParsedMessages& parsedMessages() {
    static ParsedMessages cache;
    return cache;
}

ParsedKey parsedKey(const std::string& database, long noteId, NOTEHANDLE hNote) {
    ParsedKey key;
    key.database = database;
    key.noteId = static_cast<NOTEID>(noteId);
    NSFNoteGetInfo(hNote, _NOTE_OID, &key.oid);
    NSFNoteGetInfo(hNote, _NOTE_MODIFIED, &key.modified);
    return key;
}

hxMail::Attachment* offer(long number, const Lattice::String& name, const Lattice::String& mimeType,
                          long size, const Lattice::String& messageId, hxMail::Attachments* attachments) {
    Lattice::Ptr<hxMail::Attachment> attachment = new hxMail::Attachment();
    attachment->set_method(1);
    attachment->set_attachNum(number);
    attachment->set_fileName(name);
    attachment->set_mimeType(mimeType);
    attachment->set_fileType(mimeType);
    attachment->set_size(size);
    attachment->set_id(attachmentId(number, messageId));
    if (attachments)
        attachments->add(attachment);
    return attachment.get();
}

// Leaves are numbered from kFirstLeafNumber in order, the unplaced runs right after them.
void offerLeaves(const ParsedMessage& parsed, const Lattice::String& messageId,
                 hxMail::Attachments* attachments) {
    const std::vector<Leaf>& leaves = parsed.leaves;
    const long body = bodyLeaf(leaves);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const hxMailLib::Mime::MimeBase& leaf = *leaves[i].part;
        if (static_cast<long>(i) == body || isFileLeaf(leaf) || isBodyAlternative(leaves, body, leaves[i]))
            continue;
        const auto* single = dynamic_cast<const hxMailLib::Mime::SinglePart*>(&leaf);
        offer(kFirstLeafNumber + static_cast<long>(i), leafName(leaf, static_cast<long>(i)),
              leaf.getContentType().getMimeType(), single ? single->getContent().length() : 0, messageId,
              attachments);
    }
    for (std::size_t k = 0; k < parsed.unplaced.size(); ++k)
        offer(kFirstLeafNumber + static_cast<long>(leaves.size() + k),
              "unplaced-" + Lattice::String::fromLong(static_cast<long>(k + 1)) + ".txt", "text/plain",
              static_cast<long>(parsed.unplaced[k].size()), messageId, attachments);
}

} // namespace

void NotesMessage::loadMimeLeaves(hxMail::Attachments* attachments) {
    const NOTEHANDLE hNote = openRawNote();
    if (hNote == NULLHANDLE) {
        reopenDocument();
        return;
    }
    parsedMessages().with(
        parsedKey(database ? database->getFullDatabasePath(false, true).str() : std::string(), noteId, hNote),
        hNote, [&](const ParsedMessage& parsed) { offerLeaves(parsed, messageId_, attachments); });
    NSFNoteClose(hNote);
    reopenDocument();
}

bool NotesMessage::loadMimeLeafData(long leaf, Lattice::Ptr<Lattice::BaseObject64>& out) {
    const NOTEHANDLE hNote = openRawNote();
    if (hNote == NULLHANDLE) {
        reopenDocument();
        return false;
    }
    bool found = false;
    parsedMessages().with(
        parsedKey(database ? database->getFullDatabasePath(false, true).str() : std::string(), noteId, hNote),
        hNote, [&](const ParsedMessage& parsed) {
            const std::vector<Leaf>& leaves = parsed.leaves;
            if (leaf < 0)
                return;
            const auto index = static_cast<std::size_t>(leaf);
            if (index >= leaves.size()) {
                if (index - leaves.size() < parsed.unplaced.size()) {
                    const std::string& run = parsed.unplaced[index - leaves.size()];
                    found = out->setBinaryData(run.data(), static_cast<long>(run.size()), true);
                }
                return;
            }
            const auto* single = dynamic_cast<const hxMailLib::Mime::SinglePart*>(leaves[index].part.get());
            if (!single)
                return;
            const String& bytes = single->getContent();
            found = out->setBinaryData(bytes.data(), bytes.length(), true);
        });
    NSFNoteClose(hNote);
    reopenDocument();
    return found;
}

void NotesMessage::loadAttachments(hxMail::MessageDetail* detail) {
    hxMail::Attachments* attachments = detail ? detail->get_attachments().get() : nullptr;
    if (document && !loadFailed_) {
        LNAttachmentArray files;
        document->GetAttachments(&files);
        for (LNINT i = 0; i < files.GetCount(); ++i) {
            LNAttachment file = files[i];
            Lattice::Ptr<hxMail::Attachment> attachment = createServiceAttachment(file);
            attachment->set_attachNum(i);
            attachment->set_id(attachment->get_isVCard() ? String() : attachmentId(i, messageId_));
            if (attachments)
                attachments->add(attachment);
        }
        loadEmbeddedAttachments(attachments);
        if (isMime_)
            loadMimeLeaves(attachments);
    }
    verifyAttachments(detail ? detail->get_body().get() : nullptr, attachments);
}

Lattice::Ptr<hxMail::Attachment> NotesMessage::createServiceAttachment(LNAttachment& file) {
    Lattice::Ptr<hxMail::Attachment> attachment = new hxMail::Attachment();
    attachment->set_size(file.GetFileSize());
    attachment->set_method(1);
    attachment->set_path(textOf(file.GetFilepath()));
    const String fileName = textOf(file.GetAttachmentName());
    attachment->set_fileName(fileName);
    const Lattice::Array<String> parts = fileName.split(".");
    if (parts.count() >= 2) {
        const String extension = parts[parts.count() - 1].toLower();
        if (extension == "vcf")
            attachment->set_isVCard(true);
        const String mimeType = computeMimeType(Lattice::Atom(extension.str()));
        if (!mimeType.isEmpty()) {
            attachment->set_fileType(mimeType);
            attachment->set_mimeType(mimeType);
        } else {
            attachment->set_fileType(String());
        }
    }
    return attachment;
}

void NotesMessage::loadEmbeddedAttachments(hxMail::Attachments* attachments) {
    Lattice::Array<_ContentIdStruct>* table = contentIdTable();
    // This message's pictures own the records its last body parse appended, in order.
    long number = 100 + ((table ? table->count() : 0) - contentIdCount_);
    LNItem body;
    if (!document || !document->HasItem("Body") || document->GetItem("Body", &body) != LNNOERROR ||
        body.GetType() != LNITEMTYPE_RICHTEXT)
        return;
    LNRichText richText;
    richText = body;
    LNRTCursor cursor;
    if (richText.GetCursor(&cursor) != LNNOERROR)
        return;
    LNGraphic graphic;
    for (LNSTATUS at = cursor.GotoFirst(LNRTTYPE_GRAPHIC, &graphic); at == LNNOERROR;
         at = cursor.GotoNext(LNRTTYPE_GRAPHIC, &graphic)) {
        // The bytes come from the web task when the host asks for them.
        std::string ignored;
        graphic.GetBitmap(&ignored);
        Lattice::Ptr<hxMail::Attachment> picture = new hxMail::Attachment();
        picture->set_method(1);
        picture->set_attachNum(number);
        picture->set_mimeType("image/gif");
        picture->set_fileName("embed" + String::fromLong(number) + ".gif");
        picture->set_id(attachmentId(number, messageId_));
        picture->set_contentId(addAttachContent(number, picture->get_fileName(), true));
        if (attachments)
            attachments->add(picture);
        ++number;
    }
}

Lattice::String NotesMessage::addAttachContent(long attachNum, const String& contentId, bool plainAmpersand) {
    Lattice::Array<_ContentIdStruct>* table = contentIdTable();
    const long index = attachNum - 100;
    if (!table || table->isEmpty() || index < 0 || index >= table->count())
        return String();
    _ContentIdStruct& record = (*table)[index];
    record.replaced = false;
    record.contentId = contentId;
    record.hostUrl = Lattice::getRuntimePath() + "/" + messageId_ + "_" + "att_" +
                     String::fromLong(attachNum) + "_" + contentId + "?getFileWithObject?" +
                     "contId=" + contentId + (plainAmpersand ? "&xclientId=" : "&amp;xclientId=") +
                     provider->getClientId();
    return contentId;
}

void NotesMessage::verifyAttachments(hxMail::MessageBody* body, hxMail::Attachments* attachments) {
    if (!body || !attachments || !attachments->get_list())
        return;
    // Rewritten in place: the body can run to megabytes.
    String& text = body->get_text();
    Lattice::Array<_ContentIdStruct>* table = contentIdTable();
    for (long i = 0; table && i < attachments->count(); ++i) {
        const hxMail::Attachment* attachment = attachments->at(i);
        // File attachments and pictures without a record have no content id to match.
        if (!attachment || attachment->get_contentId().isEmpty())
            continue;
        for (long r = 0; r < table->count(); ++r) {
            _ContentIdStruct& record = (*table)[r];
            if (record.replaced || record.contentId != attachment->get_contentId() ||
                record.sourcePath.isEmpty())
                continue;
            if (text.replaceAll(record.sourcePath, record.hostUrl) > 0)
                record.replaced = true;
        }
    }
}

Lattice::String NotesMessage::computeMimeType(const Lattice::Atom& extension) {
    return Lattice::StringUtil::computeMimeType(String(extension.str()));
}

bool NotesMessage::loadAttachmentData(long attachNum, Lattice::Ptr<Lattice::BaseObject64>& out,
                                      bool embedded) {
    ThrowAllErrorsScope throwing;
    if (!out)
        out = new Lattice::BaseObject64();

    // The host hands numbers from 100 on as pictures, less 100.
    if (embedded && attachNum >= kFirstLeafNumber - 100)
        return !loadFailed_ && loadMimeLeafData(attachNum - (kFirstLeafNumber - 100), out);
    if (embedded) {
        Lattice::Array<_ContentIdStruct>* table = contentIdTable();
        if (!table || attachNum < 0 || attachNum >= table->count())
            return false;
        const String url = "http://" + provider->getServerName() + (*table)[attachNum].sourcePath;
        const web::Response picture = web::get(url, credentialHeaders());
        if (picture.status != 0)
            return false;
        return out->setBinaryData(picture.bytes.data(), picture.bytes.length(), true);
    }

    if (attachNum >= kFirstLeafNumber)
        return !loadFailed_ && loadMimeLeafData(attachNum - kFirstLeafNumber, out);

    const NOTEHANDLE hNote = document && !loadFailed_ ? document->GetNoteHandle() : NULLHANDLE;
    if (hNote == NULLHANDLE || attachNum < 0 || attachNum > 0xFFFF)
        return false;
    BLOCKID item{};
    char fileName[MAXPATH] = {};
    DWORD fileSize = 0;
    if (!MailGetMessageAttachmentInfo(hNote, static_cast<WORD>(attachNum), &item, fileName, &fileSize,
                                      nullptr, nullptr, nullptr, nullptr))
        return false;
    std::unique_ptr<char[]> buffer(new char[fileSize > 0 ? fileSize : 1]);
    ExtractSink sink{buffer.get(), fileSize, 0};
    if (NSFNoteExtractWithCallback(hNote, item, nullptr, 0, collectChunk, &sink) != NOERROR)
        return false;
    // A longer object than recorded was cut at the buffer's end.
    const long length = static_cast<long>(std::min(sink.count, sink.size));
    return out->setBinaryData(buffer.release(), length, false);
}

} // namespace hxMail::hxNotesProvider
