// Storing a 10 MB message with attachments as a MIME memo and exporting it again, as a ratio
// ("x_floor") to GMime reading the same bytes in the same run: parsing the message and decoding
// every leaf, what any mail reader does to show it (both in processor time). And the peak memory of storing
// and exporting a message with a 100 MB attachment, as a multiple of the message's size.
#include "mailgen.h"
#include "mimeparts.h"
#include "notes/admin/templates.h"
#include "notes/lncpp.h"
#include "runtime.h"
#include "store.h"

#include <benchmark/benchmark.h>
#include <gmime/gmime.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

std::string randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return s;
}

std::string tenMegabyteMessage() {
    std::string eml =
        "From: Anna Berg <anna@acme.example>\r\nTo: jdoe@acme.example\r\nSubject: quarterly figures\r\n"
        "Date: Tue, 1 Dec 2026 10:00:00 +0100\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\nThis is a multi-part message.\r\n"
        "--outer\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
        "--alt\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
    for (int i = 0; i < 400; ++i) {
        eml += "Line " + std::to_string(i) + " of the report, with some words in it.\r\n";
    }
    eml += "--alt\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
           "quoted-printable\r\n\r\n";
    for (int i = 0; i < 4000; ++i) {
        eml += "<p style=3D\"margin:0\">Paragraph " + std::to_string(i) + " of the report.</p>\r\n";
    }
    eml += "--alt--\r\n";
    const struct {
        const char* name;
        std::size_t size;
    } files[] = {{"figures.pdf", 4u << 20}, {"data.zip", 2u << 20}, {"chart.png", 1u << 20}};
    std::uint32_t seed = 1;
    for (const auto& f : files) {
        eml += std::string("--outer\r\nContent-Type: application/octet-stream; name=\"") + f.name +
               "\"\r\nContent-Disposition: attachment; filename=\"" + f.name +
               "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
               notes::mime::encodeBase64(randomBytes(f.size, seed++), 76) + "\r\n";
    }
    eml += "--outer--\r\n";
    return eml;
}

const std::string& message() {
    static const std::string eml = tenMegabyteMessage();
    return eml;
}

void decodeLeaf(GMimeObject*, GMimeObject* part, gpointer sink) {
    if (GMIME_IS_PART(part)) {
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part))) {
            g_mime_data_wrapper_write_to_stream(content, static_cast<GMimeStream*>(sink));
        }
    }
}

void gmimeRead(const std::string& eml) {
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(eml.data(), eml.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* m = g_mime_parser_construct_message(parser, nullptr);
    GMimeStream* sink = g_mime_stream_null_new();
    g_mime_message_foreach(m, decodeLeaf, sink);
    g_object_unref(sink);
    g_object_unref(m);
    g_object_unref(parser);
    g_object_unref(stream);
}

// Processor time of the process: the machine is shared, and waiting for it is not the work measured.
struct CpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<CpuClock>;
};
CpuClock::time_point cpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return CpuClock::time_point(std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec));
}

template <typename F> double timed(int rounds, F f) {
    f(); // warm
    const auto start = cpuNow();
    for (int i = 0; i < rounds; ++i) {
        f();
    }
    return std::chrono::duration<double>(cpuNow() - start).count() / rounds;
}

double floorSeconds() {
    static const double floor = [] {
        g_mime_init();
        return timed(10, [] { gmimeRead(message()); });
    }();
    return floor;
}

void report(benchmark::State& state, double seconds) {
    state.counters["x_floor"] = seconds / static_cast<double>(state.iterations()) / floorSeconds();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message().size()));
}

std::string exported(notes::Note& note) {
    std::string out;
    out.reserve(message().size());
    notes::mime::exportMessage(note, [&](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

void BM_GMimeReadFloor(benchmark::State& state) {
    floorSeconds(); // initialises GMime
    double seconds = 0;
    for (auto _ : state) {
        const auto start = cpuNow();
        gmimeRead(message());
        seconds += std::chrono::duration<double>(cpuNow() - start).count();
    }
    report(state, seconds);
}

// The store's own work: the memo's items and files, then the message again from them.
void BM_StoreAndExport10MB(benchmark::State& state) {
    floorSeconds();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = cpuNow();
        notes::mail::Message m;
        std::string error;
        notes::mime::storeMessage(message(), &m, &error);
        notes::Note note;
        notes::mail::fill(m, &note);
        const std::string back = exported(note);
        seconds += std::chrono::duration<double>(cpuNow() - start).count();
        if (back != message()) {
            state.SkipWithError("the export differs");
        }
    }
    report(state, seconds);
}

// The same through a mail file: saved in one transaction, loaded, exported.
void BM_StoreInMailFileAndExport10MB(benchmark::State& state) {
    floorSeconds();
    char tmpl[] = "/tmp/notes-bench-mime-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    std::filesystem::create_directory(dir + "/Mail1");
    setenv("NOTES_DATA_DIR", dir.c_str(), 1);
    LNNotesSession session;
    session.Init();
    notes::templates::create("Mail1", "mail/mime.nsf", notes::templates::Kind::Mail);
    LNDatabase db;
    session.GetDatabase("mail/mime.nsf", &db, "Mail1");
    db.Open();
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    double seconds = 0;
    for (auto _ : state) {
        const auto start = cpuNow();
        notes::mail::Message m;
        std::string error;
        notes::mime::storeMessage(message(), &m, &error);
        std::vector<NOTEID> ids;
        notes::mail::store(*store, {m}, &ids);
        notes::Note note;
        store->load(ids.at(0), &note);
        note.db = store;
        const std::string back = exported(note);
        seconds += std::chrono::duration<double>(cpuNow() - start).count();
        if (back != message()) {
            state.SkipWithError("the export differs");
        }
    }
    report(state, seconds);
    db.Close();
    session.Term();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::size_t residentKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stoul(line.substr(std::strlen(field)));
        }
    }
    return 0;
}

// A 100 MB attachment stored in a mail file and exported to a sink that only counts: the peak of
// resident memory above what was resident before, as a multiple of the message's size ("x_message";
// the message itself is one).
void BM_Store100MBAttachmentPeakMemory(benchmark::State& state) {
    char tmpl[] = "/tmp/notes-bench-mime-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    std::filesystem::create_directory(dir + "/Mail1");
    setenv("NOTES_DATA_DIR", dir.c_str(), 1);
    LNNotesSession session;
    session.Init();
    notes::templates::create("Mail1", "mail/big.nsf", notes::templates::Kind::Mail);
    LNDatabase db;
    session.GetDatabase("mail/big.nsf", &db, "Mail1");
    db.Open();
    const auto store = notes::handles::database(db.GetDatabaseHandle());
    for (auto _ : state) {
        std::string eml;
        {
            const std::string bytes = randomBytes(100u << 20, 9);
            eml = "From: a@acme.example\r\nSubject: big\r\nContent-Type: multipart/mixed; boundary=f\r\n\r\n"
                  "--f\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
                  "filename=big.bin\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                  notes::mime::encodeBase64(bytes, 76) + "\r\n--f--\r\n";
        }
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
        const std::size_t before = residentKiB("VmRSS:");
        notes::mail::Message m;
        std::string error;
        notes::mime::storeMessage(eml, &m, &error);
        std::vector<notes::mail::Message> batch;
        batch.push_back(std::move(m));
        std::vector<NOTEID> ids;
        notes::mail::store(*store, std::move(batch), &ids);
        notes::Note note;
        store->load(ids.at(0), &note);
        note.db = store;
        std::size_t written = 0;
        notes::mime::exportMessage(note, [&](std::string_view piece) {
            written += piece.size();
            return true;
        });
        const std::size_t peak = residentKiB("VmHWM:");
        if (written != eml.size()) {
            state.SkipWithError("the export differs in length");
        }
        state.counters["x_message"] = static_cast<double>(peak > before ? peak - before : 0) * 1024.0 /
                                          static_cast<double>(eml.size()) +
                                      1.0;
    }
    db.Close();
    session.Term();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

} // namespace

BENCHMARK(BM_Store100MBAttachmentPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GMimeReadFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreAndExport10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreInMailFileAndExport10MB)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
