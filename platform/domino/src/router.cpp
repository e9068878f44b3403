#include "domino/router.h"

#include "notes/admin/mail.h"
#include "notes/capi.h"
#include "notes/lncpp.h"

#include "mimeparts.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

namespace domino {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxGroupDepth = 64;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t\r\n\"");
    if (begin == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t\r\n\"");
    return text.substr(begin, end - begin + 1);
}

// "Name <address>" gives the address; anything else is a name as it stands.
std::string addressOf(const std::string& text) {
    const auto open = text.rfind('<');
    const auto close = text.rfind('>');
    if (open != std::string::npos && close != std::string::npos && close > open)
        return trim(text.substr(open + 1, close - open - 1));
    return trim(text);
}

// No line break of a name may reach a header of the outbound message.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::vector<std::string> texts(const LNDocument& doc, const char* name) {
    std::vector<std::string> out;
    if (!doc.HasItem(name))
        return out;
    LNItem item;
    if (doc.GetItem(name, &item) != LNNOERROR || item.GetType() != LNITEMTYPE_TEXT)
        return out;
    LNText values;
    values = item;
    for (LNINT i = 0; i < values.GetCount(); ++i)
        out.emplace_back(values[i].GetTextPtr());
    return out;
}

std::string text(const LNDocument& doc, const char* name) {
    const auto values = texts(doc, name);
    return values.empty() ? std::string() : values.front();
}

std::string unidText(const LNDocument& doc) {
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    return unid.GetText().GetTextPtr();
}

// A UNID fixed by the memo and where its copy goes, so that routing the memo again finds the copy.
UNID derivedUnid(const std::string& memoUnid, const std::string& destination) {
    auto fnv = [](const std::string& key, std::uint64_t hash) {
        for (const char c : key) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ULL;
        }
        return hash;
    };
    const std::string key = memoUnid + "|" + destination;
    const std::uint64_t a = fnv(key, 14695981039346656037ULL);
    const std::uint64_t b = fnv(key, a ^ 0x9E3779B97F4A7C15ULL);
    UNID unid{};
    unid.File.Innards[0] = static_cast<DWORD>(a);
    unid.File.Innards[1] = static_cast<DWORD>(a >> 32);
    unid.Note.Innards[0] = static_cast<DWORD>(b);
    unid.Note.Innards[1] = static_cast<DWORD>(b >> 32);
    return unid;
}

struct Destinations {
    std::vector<std::string> mailFiles; // Notes users' mail files, each once
    std::vector<std::string> external;  // internet addresses, each once
    std::vector<std::string> unknown;   // names nobody answers to
    std::set<std::string> seen;

    void add(std::vector<std::string>& list, const std::string& value, const std::string& kind) {
        if (seen.insert(kind + lower(value)).second)
            list.push_back(value);
    }
};

// The server's directory, by the names its "($Users)" view lists.
class Directory {
public:
    Directory(const LNNotesSession& session, const std::string& server) : session_(session) {
        if (session.GetDatabase("names.nsf", &names_, server.c_str()) != LNNOERROR ||
            names_.Open() != LNNOERROR)
            return;
        open_ = names_.GetViewFolder("($Users)", &users_) == LNNOERROR && users_.Open() == LNNOERROR;
    }
    ~Directory() {
        if (open_)
            users_.Close();
        if (names_.IsOpen())
            names_.Close();
    }

    bool find(const std::string& name, LNDocument* doc) {
        if (!open_ || name.empty())
            return false;
        LNVFEntry entry;
        LNSTATUS found = users_.Find(name.c_str(), &entry);
        if (found != LNNOERROR && name.find('/') != std::string::npos) {
            const LNString canonical = session_.CanonicalizeName(name.c_str());
            found = users_.Find(canonical, &entry);
        }
        if (found != LNNOERROR || entry.IsNull() || entry.IsCategory())
            return false;
        return entry.GetDocument(doc) == LNNOERROR && doc->Open() == LNNOERROR;
    }

    void resolve(const std::string& raw, Destinations& out, std::set<std::string>& groups, int depth) {
        const std::string name = addressOf(raw);
        if (name.empty())
            return;
        LNDocument doc;
        if (!find(name, &doc)) {
            if (name.find('@') != std::string::npos && name.find('/') == std::string::npos)
                out.add(out.external, name, "smtp:");
            else
                out.add(out.unknown, name, "unknown:");
            return;
        }
        if (text(doc, "Form") == "Group") {
            // Groups that contain each other end here: each is expanded once per memo.
            const std::string key = lower(unidText(doc));
            if (depth < kMaxGroupDepth && groups.insert(key).second)
                for (const std::string& member : texts(doc, "Members"))
                    resolve(member, out, groups, depth + 1);
            return;
        }
        const std::string system = text(doc, "MailSystem");
        const std::string mailFile = text(doc, "MailFile");
        const std::string internet = text(doc, "InternetAddress");
        if ((system.empty() || system == "1") && !mailFile.empty())
            out.add(out.mailFiles, mailFile, "file:");
        else if (!internet.empty())
            out.add(out.external, internet, "smtp:");
        else
            out.add(out.unknown, name, "unknown:");
    }

    std::string mailFileOf(const std::string& name) {
        Destinations found;
        std::set<std::string> groups;
        resolve(name, found, groups, kMaxGroupDepth); // a sender is a person, never a group
        return found.mailFiles.empty() ? std::string() : found.mailFiles.front();
    }

private:
    const LNNotesSession& session_;
    LNDatabase names_;
    LNViewFolder users_;
    bool open_ = false;
};

LNDatetimes now(const LNNotesSession& session) {
    LNDatetimes when;
    when.Append(session.GetCurrentDatetime());
    return when;
}

// The memo's native MIME body as one message text, closed by its final boundary; empty when the
// memo has none.
std::string mimeText(const LNDocument& memo) {
    const NOTEHANDLE h = memo.GetNoteHandle();
    std::string all;
    BLOCKID item{}, value{};
    WORD type = 0;
    DWORD length = 0;
    // Laid out on save, its files live in "$FILE" attachments: the export puts them back.
    const bool exported = notes::mime::exportedText(h, &all);
    for (STATUS s = exported ? ERR_ITEM_NOT_FOUND : NSFItemInfo(h, "Body", 4, &item, &type, &value, &length);
         s == NOERROR; s = NSFItemInfoNext(h, item, "Body", 4, &item, &type, &value, &length)) {
        if (type != TYPE_MIME_PART || length < 2u + ODSLength(_MIME_PART))
            continue;
        const char* bytes = OSLockBlock(char, value) + 2;
        MIME_PART part{};
        void* cursor = const_cast<char*>(bytes);
        ODSReadMemory(&cursor, _MIME_PART, &part, 1);
        const std::size_t header = ODSLength(_MIME_PART);
        const std::size_t count = std::min<std::size_t>(part.wByteCount, length - 2 - header);
        all.append(bytes + header, count);
        OSUnlockBlock(value);
    }
    // Stored bodies end on an opening delimiter; a standard reader wants the closing one.
    if (all.size() > 2 && all.ends_with("\r\n")) {
        const auto start = all.rfind("\r\n--", all.size() - 3);
        if (start != std::string::npos && all.find("\r\n", start + 4) == all.size() - 2)
            all.insert(all.size() - 2, "--");
    }
    return all;
}

std::string plainMessage(const LNDocument& memo) {
    std::string body;
    if (memo.HasItem("Body")) {
        LNItem item;
        memo.GetItem("Body", &item);
        if (item.GetType() == LNITEMTYPE_RICHTEXT) {
            LNRichText rich;
            rich = item;
            body = rich.GetText().GetTextPtr();
        } else if (item.GetType() == LNITEMTYPE_TEXT) {
            body = text(memo, "Body");
        }
    }
    std::string out = "From: " + oneLine(text(memo, "From")) +
                      "\r\nSubject: " + oneLine(text(memo, "Subject")) +
                      "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n"
                      "Content-Transfer-Encoding: 8bit\r\n\r\n";
    for (char c : body) {
        if (c == '\n')
            out += "\r\n";
        else if (c != '\r')
            out += c;
    }
    return out + "\r\n";
}

// A delivered copy keeps its body as the store lays a native MIME memo out: one item per part, and
// file parts as "$FILE" attachments that every reader lists. A body that does not parse stays as it
// came.
void restoreBody(LNDocument& copy, const std::string& eml, const std::string& scratchFolder) {
    notes::mail::Message memo;
    std::string error;
    if (eml.empty() || notes::mime::memoFromEml(eml, &memo, &error) != NOERROR)
        return;
    const NOTEHANDLE h = copy.GetNoteHandle();
    while (NSFItemDelete(h, "Body", 4) == NOERROR) {
    }
    for (const std::string& part : memo.mimeParts)
        NSFItemAppend(h, ITEM_SUMMARY, "Body", 4, TYPE_MIME_PART, part.data(),
                      static_cast<DWORD>(part.size()));
    std::error_code ec;
    fs::create_directories(scratchFolder, ec);
    for (std::size_t i = 0; i < memo.files.size(); ++i) {
        const auto& [name, bytes] = memo.files[i];
        const fs::path scratch = fs::path(scratchFolder) / (std::to_string(i) + ".part");
        {
            std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        copy.CreateAttachment(scratch.string().c_str(), name.c_str());
    }
}

} // namespace

Router::Router(std::string server, std::string dataDirectory)
    : server_(std::move(server)), dataDirectory_(std::move(dataDirectory)) {}

Router::~Router() {
    stop();
}

std::string Router::outboundFolder() const {
    return (fs::path(dataDirectory_) / "outbound").string();
}

std::vector<std::string> Router::outboundFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(outboundFolder(), ec))
        if (entry.path().extension() == ".eml")
            out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<WaitingMemo> Router::waiting() const {
    std::vector<WaitingMemo> out;
    LNNotesSession session;
    if (session.Init() != LNNOERROR)
        return out;
    LNDatabase box;
    if (session.GetDatabase("mail.box", &box, server_.c_str()) != LNNOERROR || box.Open() != LNNOERROR)
        return out;
    LNNoteArray notes;
    box.GetNotes(&notes);
    for (LNINT i = 0; i < notes.GetCount(); ++i) {
        LNDocument memo;
        if (box.GetDocument(notes.GetNoteID(i), &memo) != LNNOERROR || memo.Open() != LNNOERROR)
            continue;
        out.push_back({unidText(memo), text(memo, "From"), text(memo, "Subject"), texts(memo, "Recipients")});
        memo.Close();
    }
    box.Close();
    return out;
}

RouteReport Router::routeOnce() {
    RouteReport report;
    LNNotesSession session;
    if (session.Init() != LNNOERROR) {
        report.errors.push_back("the Notes runtime does not start");
        return report;
    }
    LNDatabase box;
    if (session.GetDatabase("mail.box", &box, server_.c_str()) != LNNOERROR || box.Open() != LNNOERROR)
        return report; // no mail.box: nothing waits
    Directory directory(session, server_);
    LNNoteArray notes;
    box.GetNotes(&notes);
    std::vector<NOTEID> ids;
    for (LNINT i = 0; i < notes.GetCount(); ++i)
        ids.push_back(notes.GetNoteID(i));

    std::size_t steps = 0;
    struct Interrupted {};
    auto step = [&] {
        if (steps++ == interruptAfter_)
            throw Interrupted{};
    };
    try {
        for (NOTEID id : ids) {
            LNDocument memo;
            if (box.GetDocument(id, &memo) != LNNOERROR || memo.Open() != LNNOERROR)
                continue;
            const std::string unid = unidText(memo);
            Destinations to;
            std::set<std::string> groups;
            for (const std::string& name : texts(memo, "Recipients"))
                directory.resolve(name, to, groups, 0);

            bool complete = true;
            // Puts the copy with this UNID into `file` unless it is there; either way makes sure it is
            // in the inbox (an interrupted run may have saved it without filing it).
            auto deposit = [&](const std::string& file, const UNID& copyUnid,
                               const std::function<void(LNDatabase&, LNDocument&)>& make) -> bool {
                step();
                LNDatabase db;
                if (session.GetDatabase(file.c_str(), &db, server_.c_str()) != LNNOERROR ||
                    db.Open() != LNNOERROR)
                    return false;
                NOTEID noteId = 0;
                if (NSFDbGetNoteInfoByUNID(db.GetDatabaseHandle(), &copyUnid, &noteId, nullptr, nullptr,
                                           nullptr) != NOERROR) {
                    LNDocument copy;
                    make(db, copy);
                    ORIGINATORID oid{};
                    oid.File = copyUnid.File;
                    oid.Note = copyUnid.Note;
                    NSFNoteSetInfo(copy.GetNoteHandle(), _NOTE_OID, &oid);
                    copy.CreateItem("DeliveredDate", now(session), LNITEMFLAGS_SUMMARY,
                                    LNITEMOPTION_DELETE_APPEND);
                    if (copy.Save() != LNNOERROR) {
                        db.Close();
                        return false;
                    }
                    noteId = copy.GetNoteID();
                    copy.Close();
                }
                LNViewFolder inbox;
                if (db.GetViewFolder("($Inbox)", &inbox) == LNNOERROR && inbox.Open() == LNNOERROR) {
                    if (!inbox.Contains(noteId))
                        inbox.AddDocument(noteId);
                    inbox.Close();
                }
                db.Close();
                return true;
            };

            const std::string eml = memo.HasItem("$NoteHasNativeMIME") ? mimeText(memo) : std::string();
            const std::string scratch = (fs::temp_directory_path() / ("hxrouter-" + unid)).string();
            for (const std::string& file : to.mailFiles) {
                const bool ok = deposit(file, derivedUnid(unid, "deliver:" + lower(file)),
                                        [&](LNDatabase& db, LNDocument& copy) {
                                            db.CreateDocument(memo, &copy);
                                            if (!eml.empty())
                                                restoreBody(copy, eml, scratch);
                                        });
                if (ok)
                    ++report.delivered;
                else
                    to.unknown.push_back(file + " (mail file not found)");
            }
            std::error_code removed;
            fs::remove_all(scratch, removed);

            if (!to.unknown.empty()) {
                report.failed += to.unknown.size();
                const std::string sender = text(memo, "From");
                const std::string senderFile = directory.mailFileOf(sender);
                const std::string subject = text(memo, "Subject");
                if (!senderFile.empty()) {
                    deposit(senderFile, derivedUnid(unid, "report"), [&](LNDatabase& db, LNDocument& note) {
                        db.CreateDocument(&note, "Memo");
                        note.CreateItem("Subject", LNText(("DELIVERY FAILURE: " + subject).c_str()));
                        note.CreateItem("From", LNText("Mail Router"));
                        note.CreateItem("SendTo", LNText(sender.c_str()));
                        note.CreateItem("PostedDate", now(session));
                        LNText intended;
                        LNRichText body;
                        body.Append(
                            ("Your message\n  Subject: " + subject + "\nwas not delivered to:").c_str());
                        for (const std::string& name : to.unknown) {
                            intended.Append(name.c_str());
                            body.Append(("\n  " + name).c_str());
                        }
                        body.Append("\nbecause:\n  User not listed in Domino Directory");
                        note.CreateItem("IntendedRecipient", intended);
                        note.CreateItem("FailureReason", LNText("User not listed in Domino Directory"));
                        note.CreateItem("Body", body, 0);
                    });
                }
            }

            if (!to.external.empty()) {
                std::error_code ec;
                fs::create_directories(outboundFolder(), ec);
                std::string envelope;
                for (const std::string& address : to.external)
                    envelope += (envelope.empty() ? "" : ", ") + oneLine(address);
                step();
                std::string message = eml.empty() ? mimeText(memo) : eml;
                if (message.empty())
                    message = plainMessage(memo);
                const fs::path target = fs::path(outboundFolder()) / (unid + ".eml");
                const fs::path temporary = fs::path(outboundFolder()) / (unid + ".eml.tmp");
                {
                    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
                    out << "X-Envelope-To: " << envelope << "\r\n" << message;
                    out.flush();
                    complete = complete && static_cast<bool>(out);
                }
                if (complete)
                    fs::rename(temporary, target, ec);
                complete = complete && !ec;
                if (complete)
                    ++report.outbound;
            }

            if (!complete) {
                report.errors.push_back(unid + ": the outbound queue cannot be written");
                memo.Close();
                continue;
            }
            memo.Close();
            step();
            if (box.DeleteDocument(id) == LNNOERROR)
                ++report.memos;
            else
                report.errors.push_back(unid + ": cannot be taken out of mail.box");
        }
    } catch (const Interrupted&) {
        report.errors.push_back("interrupted");
    }
    box.Close();
    return report;
}

void Router::start(std::chrono::milliseconds interval, std::function<void(const std::string&)> log) {
    stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this, interval, log] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            const RouteReport report = routeOnce();
            if (log) {
                if (report.memos)
                    log("router: " + std::to_string(report.memos) + " memos, " +
                        std::to_string(report.delivered) + " delivered, " + std::to_string(report.failed) +
                        " failed, " + std::to_string(report.outbound) + " outbound");
                for (const std::string& error : report.errors)
                    log("router: " + error);
            }
            lock.lock();
            wake_.wait_for(lock, interval, [this] { return stopping_; });
        }
    });
}

void Router::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

} // namespace domino
