// add-mime, add-memo and attach: memos with MIME bodies, pictures and file attachments.
#include "memo.h"

#include "admin_impl.h"
#include "mimeparts.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace nsfadmin {

bool readWholeFile(const std::string& path, std::string* bytes, std::size_t maxBytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > maxBytes) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes->resize(static_cast<std::size_t>(st.st_size)); // read in place: a large message is held once
    in.read(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    return static_cast<std::size_t>(in.gcount()) == bytes->size();
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

notes::ods::RichTextElement textRun(std::string text) {
    notes::ods::RichTextElement e;
    e.kind = notes::ods::kCdText;
    e.text = std::move(text);
    return e;
}

notes::ods::RichTextElement paragraphBreak() {
    notes::ods::RichTextElement e;
    e.kind = notes::ods::kCdParagraph;
    return e;
}

bool appendPicture(const std::string& path, std::vector<notes::ods::RichTextElement>* elements,
                   std::string* error) {
    notes::ods::RichTextElement e;
    e.kind = notes::ods::kCdGraphic;
    if (!readWholeFile(path, &e.bytes, 8u << 20)) {
        *error = "cannot read the picture " + path + " (a file of at most 8 MiB)";
        return false;
    }
    if (!notes::ods::imageInfo(e.bytes, &e.text, &e.width, &e.height)) {
        *error = "the picture " + path + " is not a GIF, PNG or JPEG image";
        return false;
    }
    elements->push_back(std::move(e));
    return true;
}

bool appendAttachment(const std::string& path, std::vector<notes::ods::RichTextElement>* elements,
                      std::vector<std::pair<std::string, std::string>>* files, std::string* error) {
    std::string bytes;
    if (!readWholeFile(path, &bytes)) {
        *error = "cannot read the attachment " + path + " (a file of at most 64 MiB)";
        return false;
    }
    const std::string name = utf8ToLatin1(baseName(path));
    if (std::any_of(files->begin(), files->end(),
                    [&](const auto& f) { return notes::nameEquals(f.first, name); })) {
        *error = "two attachments are named " + baseName(path);
        return false;
    }
    notes::ods::RichTextElement ref;
    ref.kind = notes::ods::kCdAttachmentRef;
    ref.text = name;
    elements->push_back(std::move(ref));
    files->emplace_back(name, std::move(bytes));
    return true;
}

namespace {

// Stores one delivered memo, moves it into `folder` when that is not the inbox, prints its UNID.
int deliver(Admin::Impl& impl, const DbRef& ref, notes::mail::Message m, const std::string& folder) {
    LNDatabase db;
    if (int rc = impl.openDb(ref, &db); rc != kOk) {
        return rc;
    }
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    NOTEID inbox = 0, target = 0;
    if (!store || store->findDesign(NOTE_CLASS_VIEW, "($Inbox)", &inbox) != NOERROR) {
        return impl.badInput(ref.path + " is not a mail file (it has no ($Inbox) folder)");
    }
    notes::ViewDesign design;
    if (store->findDesign(NOTE_CLASS_VIEW, utf8ToLatin1(folder), &target) != NOERROR ||
        store->viewDesign(target, &design) != NOERROR || !design.folder) {
        return impl.badInput("no folder " + folder + " in " + ref.path);
    }
    const std::int64_t now = notes::ticksNow();
    m.kind = notes::mail::Message::Kind::Inbox;
    m.delivered = now;
    m.posted = m.posted ? m.posted : now;
    m.unread = true;
    std::vector<NOTEID> ids;
    std::vector<notes::mail::Message> batch;
    batch.push_back(std::move(m)); // a large attachment is not copied on its way to the file
    if (STATUS s = notes::mail::store(*store, std::move(batch), &ids); s != NOERROR) {
        return impl.notesError("cannot save the memo", s);
    }
    if (target != inbox) {
        if (STATUS s = store->changeFolder(inbox, {}, ids); s != NOERROR) {
            return impl.notesError("cannot move the memo out of ($Inbox)", s);
        }
        if (STATUS s = store->changeFolder(target, ids, {}); s != NOERROR) {
            return impl.notesError("cannot put the memo into " + folder, s);
        }
    }
    notes::NoteInfo info;
    store->info(ids.front(), &info);
    impl.out << notes::unidToText(info.unid) << "\n";
    return kOk;
}

} // namespace

int Admin::addMime(const DbRef& db, const std::string& emlFile, const std::string& folder) {
    std::string eml;
    if (!readWholeFile(emlFile, &eml, kMaxMessageBytes)) {
        return impl_->badInput("cannot read the message file " + emlFile + " (a file of at most 512 MiB)");
    }
    notes::mail::Message m;
    std::string error;
    if (STATUS s = notes::mime::memoFromEml(eml, &m, &error); s != NOERROR) {
        return impl_->badInput(emlFile + " cannot be stored as a MIME memo: " + error);
    }
    return deliver(*impl_, db, std::move(m), folder);
}

int Admin::exportMime(const DbRef& ref, const std::string& unid, const std::string& file) {
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    const auto note = notes::handles::note(doc.GetNoteHandle());
    if (!note || note->find("$NoteHasNativeMIME") == nullptr) {
        return impl_->badInput("document " + unid + " has no MIME body");
    }
    std::ofstream disk;
    if (!file.empty()) {
        disk.open(file, std::ios::binary | std::ios::trunc);
        if (!disk) {
            return impl_->badInput("cannot write " + file);
        }
    }
    std::ostream& out = file.empty() ? impl_->out : disk;
    const STATUS s = notes::mime::exportMessage(*note, [&out](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        return static_cast<bool>(out);
    });
    if (!file.empty()) {
        disk.close();
    }
    if (s == ERR_ITEM_NOT_FOUND) {
        return impl_->badInput("document " + unid + " has no MIME body");
    }
    if (s != NOERROR || (file.empty() ? !impl_->out.flush() : !disk)) {
        if (!file.empty()) {
            std::remove(file.c_str()); // never leave half a message behind
        }
        return s == ERR_IO || s == NOERROR ? impl_->badInput("cannot write the message of " + unid)
                                           : impl_->notesError("cannot export " + unid, s);
    }
    return kOk;
}

int Admin::addMemo(const DbRef& db, const MemoEntry& memo) {
    if (memo.from.empty() || memo.subject.empty()) {
        return impl_->badInput("a memo needs --from and --subject");
    }
    notes::mail::Message m;
    m.from = utf8ToLatin1(memo.from);
    for (const std::string& to : memo.to) {
        m.sendTo.push_back(notes::canonicalizeName(utf8ToLatin1(to)));
    }
    for (const std::string& cc : memo.cc) {
        m.copyTo.push_back(notes::canonicalizeName(utf8ToLatin1(cc)));
    }
    m.subject = utf8ToLatin1(memo.subject);
    std::vector<notes::ods::RichTextElement> body;
    for (std::size_t i = 0; i < memo.text.size(); ++i) {
        if (i > 0) {
            body.push_back(paragraphBreak());
        }
        std::vector<notes::ods::RichTextElement> runs;
        notes::ods::decodeRichText(notes::ods::encodeRichText(utf8ToLatin1(memo.text[i])), &runs);
        body.insert(body.end(), runs.begin(), runs.end());
    }
    std::string error;
    for (const std::string& picture : memo.pictures) {
        body.push_back(paragraphBreak());
        if (!appendPicture(picture, &body, &error)) {
            return impl_->badInput(error);
        }
    }
    for (const std::string& file : memo.attachments) {
        body.push_back(paragraphBreak());
        if (!appendAttachment(file, &body, &m.files, &error)) {
            return impl_->badInput(error);
        }
    }
    m.richText = notes::ods::encodeRichText(body);
    return deliver(*impl_, db, std::move(m), memo.folder);
}

int Admin::attach(const DbRef& ref, const std::string& unid, const std::vector<std::string>& files) {
    if (files.empty()) {
        return impl_->badInput("name at least one file to attach");
    }
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    std::string report;
    for (const std::string& file : files) {
        LNAttachment made;
        if (LNSTATUS s = doc.CreateAttachment(utf8ToLatin1(file).c_str(), "", &made); s != LNNOERROR) {
            // Nothing was saved: the attachments made so far leave with the unsaved note.
            return s == ERR_NOEXIST || s == ERR_INVALID_PARAM || s == ERR_EXISTS
                       ? impl_->badInput("cannot attach " + file + ": " +
                                         (s == ERR_EXISTS
                                              ? std::string("the document already has a file of that name")
                                              : std::string("not a readable file")))
                       : impl_->notesError("cannot attach " + file, s);
        }
        report += latin1ToUtf8(made.GetAttachmentName().str()) + " (" + std::to_string(made.GetFileSize()) +
                  " bytes)\n";
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save document " + unid, s);
    }
    impl_->out << report;
    return kOk;
}

} // namespace nsfadmin
