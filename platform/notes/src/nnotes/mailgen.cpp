// Mail file documents for seeding and benchmarks: the items a delivered memo, a draft, a sent memo
// or a task carries, stored many at a time in one transaction.
#include "mailgen.h"
#include "attachments.h"
#include "runtime.h"

#include <algorithm>
#include <array>
#include <random>

namespace notes::mail {
namespace {

void text(Note* n, const char* name, const std::string& value) {
    n->append(name, TYPE_TEXT, ITEM_SUMMARY, value);
}

void textList(Note* n, const char* name, const std::vector<std::string>& values) {
    if (!values.empty()) {
        n->append(name, TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(values));
    }
}

void time(Note* n, const char* name, std::int64_t ticks) {
    if (ticks != 0) {
        const TIMEDATE td = timedateFromTicks(ticks);
        n->append(name, TYPE_TIME, ITEM_SUMMARY, std::string(reinterpret_cast<const char*>(&td), sizeof td));
    }
}

// The day of `ticks` (GMT) without a time, as Notes stores a date-only value.
void date(Note* n, const char* name, std::int64_t ticks) {
    if (ticks != 0) {
        TIMEDATE td = timedateFromTicks(ticks);
        td.Innards[0] = ALLDAY;
        n->append(name, TYPE_TIME, ITEM_SUMMARY, std::string(reinterpret_cast<const char*>(&td), sizeof td));
    }
}

// Bytes for a seeded attachment: the same for the same name, with the opening bytes of the file
// kind its extension names, so that they look like what they are called.
std::string seededBytes(const std::string& name) {
    std::uint32_t h = 2166136261u;
    for (const char ch : name) {
        h = (h ^ static_cast<unsigned char>(ch)) * 16777619u;
    }
    const std::string ext = lower(
        name.substr(name.find_last_of('.') == std::string::npos ? name.size() : name.find_last_of('.')));
    std::string bytes = ext == ".pdf" ? std::string("%PDF-1.4\n")
                        : ext == ".jpg" || ext == ".jpeg"
                            ? std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11)
                        : ext == ".docx" || ext == ".xlsx" ? std::string("PK\x03\x04", 4)
                                                           : std::string();
    const std::size_t size = 256 + h % 1792;
    std::minstd_rand rng(h);
    while (bytes.size() < size) {
        bytes += ext == ".txt" ? static_cast<char>('a' + rng() % 26) : static_cast<char>(rng() & 0xFF);
    }
    return bytes;
}

} // namespace

void fill(const Message& m, Note* n) {
    const bool task = m.kind == Message::Kind::Task;
    text(n, "Form", !m.form.empty() ? m.form : task ? "Task" : "Memo");
    if (!m.from.empty()) { // Internet senders keep their address form
        text(n, "From", m.from.find('@') != std::string::npos ? m.from : canonicalizeName(m.from));
    }
    textList(n, "SendTo", m.sendTo);
    textList(n, "CopyTo", m.copyTo);
    textList(n, "BlindCopyTo", m.blindCopyTo);
    text(n, "Subject", m.subject);
    if (!m.mimeParts.empty()) {
        text(n, "$NoteHasNativeMIME", "1");
        text(n, "MIME_Version", "1.0");
        for (const std::string& part : m.mimeParts) {
            n->append("Body", TYPE_MIME_PART, ITEM_SUMMARY, part);
        }
    } else {
        n->append("Body", TYPE_COMPOSITE, 0, !m.richText.empty() ? m.richText : ods::encodeRichText(m.body));
    }
    text(n, "Importance", std::to_string(m.importance < 1 || m.importance > 3 ? 2 : m.importance));
    if (task) {
        date(n, "StartDate", m.start);
        date(n, "DueDate", m.due);
        if (m.due != 0) { // the due day at midnight GMT
            time(n, "DueDateTime", m.due - ((m.due % kTicksPerDay) + kTicksPerDay) % kTicksPerDay);
        }
        date(n, "CompletedDate", m.completed);
        n->append("DueState", TYPE_NUMBER_RANGE, ITEM_SUMMARY, ods::encodeNumbers({m.completed ? 9.0 : 1.0}));
        return;
    }
    if (m.kind != Message::Kind::Draft) {
        time(n, "PostedDate", m.posted);
    }
    if (m.kind == Message::Kind::Inbox) {
        time(n, "DeliveredDate", m.delivered ? m.delivered : m.posted);
    }
    if (!m.respondedTo.empty()) {
        text(n, "$RespondedTo", m.respondedTo);
    }
    if (m.mood > 0 && m.mood <= 10) {
        text(n, "MoodStamp", std::to_string(m.mood));
    }
    if (m.returnReceipt) {
        text(n, "ReturnReceipt", "1");
    }
    if (!m.deliveryReport.empty()) {
        text(n, "DeliveryReport", m.deliveryReport);
    }
    for (const std::string& name : m.attachments) {
        files::FileObject file;
        file.name = name;
        file.originalPath = name;
        file.created = file.modified = timedateFromTicks(m.posted ? m.posted : m.delivered);
        files::attach(*n, "$FILE", seededBytes(name), file, nullptr); // a repeated name is listed once
    }
    for (const auto& [name, bytes] : m.files) {
        files::FileObject file;
        file.name = name;
        file.originalPath = name;
        file.created = file.modified = timedateFromTicks(m.posted ? m.posted : m.delivered);
        files::attach(*n, "$FILE", bytes, file, nullptr);
    }
}

void fill(Message&& m, Note* n) {
    auto files = std::move(m.files);
    m.files.clear();
    fill(static_cast<const Message&>(m), n);
    for (auto& [name, bytes] : files) {
        files::FileObject file;
        file.name = name;
        file.originalPath = name;
        file.created = file.modified = timedateFromTicks(m.posted ? m.posted : m.delivered);
        files::attach(*n, "$FILE", std::move(bytes), file, nullptr);
    }
}

namespace {

// Consuming messages moves their file bytes into the notes: a large attachment is held once.
template <bool kConsume, typename Messages>
STATUS storeAll(Database& db, Messages& messages, std::vector<NOTEID>* ids) {
    NOTEID inbox = 0;
    const bool delivers = std::any_of(messages.begin(), messages.end(),
                                      [](const Message& m) { return m.kind == Message::Kind::Inbox; });
    if (delivers) {
        if (STATUS s = db.findDesign(NOTE_CLASS_VIEW, "($Inbox)", &inbox); s != NOERROR) {
            return s; // not a mail file
        }
        if (STATUS s = db.ensureViewIndex(inbox); s != NOERROR) {
            return s;
        }
    }
    if (STATUS s = db.beginBatch(); s != NOERROR) {
        return s;
    }
    std::vector<NOTEID> delivered, read, made;
    for (auto& m : messages) {
        Note n;
        if constexpr (kConsume) {
            fill(std::move(m), &n);
        } else {
            fill(m, &n);
        }
        if (STATUS s = db.save(n); s != NOERROR) {
            db.endBatch(false);
            return s;
        }
        made.push_back(n.info.id);
        if (m.kind == Message::Kind::Inbox) {
            delivered.push_back(n.info.id);
        }
        if (!m.unread) {
            read.push_back(n.info.id);
        }
    }
    STATUS s = delivered.empty() ? NOERROR : db.changeFolder(inbox, delivered, {});
    if (s == NOERROR && !read.empty()) {
        s = db.setUnread("", {}, read, false);
    }
    if (s != NOERROR) {
        db.endBatch(false);
        return s;
    }
    if (s = db.endBatch(true); s != NOERROR) {
        return s;
    }
    if (ids) {
        *ids = std::move(made);
    }
    return NOERROR;
}

} // namespace

STATUS store(Database& db, const std::vector<Message>& messages, std::vector<NOTEID>* ids) {
    return storeAll<false>(db, messages, ids);
}

STATUS store(Database& db, std::vector<Message>&& messages, std::vector<NOTEID>* ids) {
    return storeAll<true>(db, messages, ids);
}

STATUS generate(Database& db, std::size_t count, std::uint32_t seed, std::int64_t now, int days,
                std::size_t batch, const std::function<void(std::size_t)>& progress) {
    static const std::array<const char*, 12> kPeople = {
        "Adam Smith",   "Beatriz Álvarez", "Chen Wei",    "Dana Miller", "Émile Dupont", "Farah Khan",
        "George Brown", "Hanna Schmidt",   "Ivan Petrov", "Julia Rossi", "Kenji Sato",   "Laura Wilson"};
    static const std::array<const char*, 12> kTopics = {
        "Quarterly report", "Budget review",  "Team lunch",       "Project status",
        "Release plan",     "Customer visit", "Travel expenses",  "Hiring update",
        "Security patch",   "Offsite agenda", "Contract renewal", "Weekly sync"};
    static const std::array<const char*, 4> kFiles = {"report.pdf", "budget.xlsx", "photo.jpg", "notes.docx"};
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    if (batch == 0) {
        batch = 1000;
    }
    const std::int64_t span = static_cast<std::int64_t>(days > 0 ? days : 1) * kTicksPerDay;
    std::size_t done = 0;
    while (done < count) {
        std::vector<Message> messages;
        const std::size_t n = std::min(batch, count - done);
        messages.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            Message m;
            // Latin-1 text, as the store keeps it.
            std::string who = kPeople[pick(kPeople.size())];
            std::string latin;
            for (std::size_t k = 0; k < who.size(); ++k) {
                const unsigned char c = static_cast<unsigned char>(who[k]);
                if (c == 0xC3 && k + 1 < who.size()) {
                    latin += static_cast<char>(static_cast<unsigned char>(who[++k]) + 0x40);
                } else {
                    latin += who[k];
                }
            }
            m.from = "CN=" + latin + "/O=Acme";
            m.sendTo = {"CN=Jane Doe/O=Acme"};
            if (pick(4) == 0) {
                m.copyTo = {"CN=Sales Team/O=Acme"};
            }
            const bool reply = pick(5) == 0;
            m.subject = std::string(reply ? "Re: " : "") + kTopics[pick(kTopics.size())] + " #" +
                        std::to_string(done + i + 1);
            m.body = "Hello Jane,\n\n" + std::string(40 + pick(400), 'x') + "\n\nRegards";
            m.delivered = now - static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(span));
            m.posted = m.delivered - 100 * static_cast<std::int64_t>(pick(600));
            m.unread = pick(3) == 0;
            if (!m.unread && pick(4) == 0) {
                m.respondedTo = pick(5) == 0 ? "2" : "1";
            }
            m.importance = pick(10) == 0 ? 1 : pick(10) == 0 ? 3 : 2;
            if (pick(8) == 0) {
                m.attachments = {kFiles[pick(kFiles.size())]};
            }
            m.returnReceipt = pick(20) == 0;
            messages.push_back(std::move(m));
        }
        if (STATUS s = store(db, messages); s != NOERROR) {
            return s;
        }
        done += n;
        if (progress) {
            progress(done);
        }
    }
    return NOERROR;
}

} // namespace notes::mail
