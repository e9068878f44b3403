// Writing mail: saving a draft with a 20 KB body, sending to 1 and to 100 recipients (delivered by
// the router stand-in) and sending a 10 MB attachment. Each is reported beside its floor measured
// in the same run: for a save, the store's own insert of a note with the same items and bytes; for
// a send, that insert plus copying the stored memo into each recipient's mail file through the
// class library (what delivery cannot avoid).
#include "BenchFolder.h"
#include "admin.h"

#include "domino/router.h"
#include "hxMail/Message.h"
#include "hxMail/Providers.h"

#include "Lattice/Base.h"
#include "Lattice/Logger.h"
#include "notes/capi.h"
#include "notes/lncpp.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* kServer = "CN=Mail1/O=Acme";
constexpr int kPeople = 100;

std::string shortName(int i) {
    return "r" + std::to_string(i);
}

struct Setup {
    BenchFolder folder{"compose"};
    Lattice::Ptr<hxMail::MailProvider> provider;
    std::string body20k, bigFile;
    LNNotesSession session;

    Setup() {
        folder.addServer(kServer);
        folder.addUser(kServer, "CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example", "demo-password");
        for (int i = 0; i < kPeople; ++i)
            folder.addUser(kServer, "CN=Reader " + std::to_string(i) + "/O=Acme", shortName(i),
                           shortName(i) + "@acme.example", "reader-password");
        folder.check("mail.box", [](nsfadmin::Admin& admin) {
            return admin.dbCreate({kServer, "mail.box"}, "", "");
        });
        for (int i = 0; body20k.size() < 20 * 1024; ++i)
            body20k +=
                "<p>Line " + std::to_string(i) + " of the quarterly report, with figures and remarks.</p>";
        bigFile = folder.dir + "/big.bin";
        std::string bytes(10 * 1024 * 1024, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream(bigFile, std::ios::binary) << bytes;
        if (session.Init() != LNNOERROR)
            std::abort();
        provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
        if (!provider || provider->login("jdoe", "demo-password", "", 0, 0) != 0)
            std::abort();
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

struct Composed {
    Lattice::Ptr<hxMail::Message> message = new hxMail::Message();
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
};

Composed compose(int recipients, bool bigAttachment) {
    Composed c;
    c.message->set_subject("Quarterly report");
    c.message->set_importance(1);
    c.detail->set_textType("html");
    c.detail->get_body()->set_text(setup().body20k.c_str());
    for (int i = 0; i < recipients; ++i) {
        Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
        r->set_smtpAddress(shortName(i).c_str());
        c.detail->get_to()->add(r);
    }
    if (bigAttachment) {
        Lattice::Ptr<hxMail::Attachment> a = new hxMail::Attachment();
        a->set_fileName("big.bin");
        a->set_path(setup().bigFile.c_str());
        c.detail->get_attachments()->add(a);
    }
    return c;
}

// The "Body" item values of the newest memo of a database, and its note id.
std::vector<std::string> bodyOf(DBHANDLE db, NOTEID id) {
    std::vector<std::string> values;
    NOTEHANDLE h = NULLHANDLE;
    if (NSFNoteOpen(db, id, 0, &h) != NOERROR)
        return values;
    BLOCKID item{}, value{};
    WORD type = 0;
    DWORD length = 0;
    for (STATUS s = NSFItemInfo(h, "Body", 4, &item, &type, &value, &length); s == NOERROR;
         s = NSFItemInfoNext(h, item, "Body", 4, &item, &type, &value, &length)) {
        values.emplace_back(OSLockBlock(char, value) + 2, length - 2);
        OSUnlockBlock(value);
    }
    NSFNoteClose(h);
    return values;
}

NOTEID newestNote(LNDatabase& db) {
    LNNoteArray notes;
    db.GetNotes(&notes);
    return notes.GetCount() ? notes.GetNoteID(notes.GetCount() - 1) : 0;
}

// The floor: a note with the memo's envelope and these "Body" values inserted into the sender's
// mail file, then copied into each of `recipients` mail files.
double floorSeconds(const std::vector<std::string>& body, int recipients) {
    LNDatabase mail;
    setup().session.GetDatabase("mail/jdoe.nsf", &mail, kServer);
    mail.Open();
    const auto start = std::chrono::steady_clock::now();
    NOTEHANDLE h = NULLHANDLE;
    NSFNoteCreate(mail.GetDatabaseHandle(), &h);
    auto text = [&](const char* name, const std::string& value) {
        NSFItemAppend(h, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)), TYPE_TEXT, value.data(),
                      static_cast<DWORD>(value.size()));
    };
    text("Form", "Memo");
    text("From", "CN=Jane Doe/O=Acme");
    text("Subject", "Quarterly report");
    for (const std::string& value : body)
        NSFItemAppend(h, ITEM_SUMMARY, "Body", 4, TYPE_MIME_PART, value.data(),
                      static_cast<DWORD>(value.size()));
    NSFNoteUpdate(h, 0);
    NOTEID id = 0;
    NSFNoteGetInfo(h, _NOTE_ID, &id);
    NSFNoteClose(h);
    if (recipients > 0) {
        LNDocument memo;
        mail.GetDocument(id, &memo);
        memo.Open();
        for (int i = 0; i < recipients; ++i) {
            LNDatabase target;
            setup().session.GetDatabase(("mail/" + shortName(i) + ".nsf").c_str(), &target, kServer);
            target.Open();
            LNDocument copy;
            target.CreateDocument(memo, &copy);
            copy.Save();
            copy.Close();
            target.Close();
        }
        memo.Close();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    mail.Close();
    return seconds;
}

// Runs `work` per iteration; the floor is measured on the body the last work stored.
void measure(benchmark::State& state, int recipients, bool bigAttachment, bool send) {
    hxMail::MessageProvider* messages = setup().provider->messageProvider();
    domino::Router router("Mail1", setup().folder.dir);
    double total = 0, floor = 0;
    for (auto _ : state) {
        Composed c = compose(recipients, bigAttachment);
        const auto start = std::chrono::steady_clock::now();
        if (send) {
            messages->sendMessage(c.message, c.detail, "");
            const domino::RouteReport report = router.routeOnce();
            if (report.delivered != static_cast<std::size_t>(recipients))
                state.SkipWithError("not every recipient got the memo");
        } else {
            Lattice::String id;
            Lattice::Ptr<hxMail::Attachments> attachments;
            messages->saveMessage(c.message, c.detail, id, attachments);
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        LNDatabase mail;
        setup().session.GetDatabase("mail/jdoe.nsf", &mail, kServer);
        mail.Open();
        const std::vector<std::string> body = bodyOf(mail.GetDatabaseHandle(), newestNote(mail));
        mail.Close();
        floor += floorSeconds(body, send ? recipients : 0);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floor / n * 1000;
    state.counters["vs_floor"] = total / floor;
}

void BM_SaveDraft20K(benchmark::State& state) {
    measure(state, 0, false, false);
}
void BM_SendTo1(benchmark::State& state) {
    measure(state, 1, false, true);
}
void BM_SendTo100(benchmark::State& state) {
    measure(state, kPeople, false, true);
}
void BM_Send10MBAttachment(benchmark::State& state) {
    measure(state, 1, true, true);
}

} // namespace

BENCHMARK(BM_SaveDraft20K)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_SendTo1)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_SendTo100)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Send10MBAttachment)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
