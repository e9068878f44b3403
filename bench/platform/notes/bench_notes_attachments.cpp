// Attachments: extracting a 4 MiB attachment in 64 KiB chunks and saving a memo with a 1 MiB
// attachment, each also as a ratio ("x_floor") to a floor measured in the same run on a connection
// of its own: reading the same blob with one SQLite statement, and inserting a blob of the same size.
#include "notes/admin/templates.h"
#include "notes/lncpp.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr std::size_t kBig = 4u << 20;
constexpr std::size_t kSaved = 1u << 20;

struct Store {
    std::string dir;
    LNNotesSession session;
    LNDatabase db;
    NOTEID memo = 0;
    DWORD object = 0;
    double extractFloor = 0, insertFloor = 0;

    Store() {
        char tmpl[] = "/tmp/notes-bench-att-XXXXXX";
        dir = mkdtemp(tmpl);
        std::filesystem::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        session.Init();
        notes::templates::create("Mail1", "mail/att.nsf", notes::templates::Kind::Mail);
        session.GetDatabase("mail/att.nsf", &db, "Mail1");
        db.Open();
        std::string bytes(kBig, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 131 + (i >> 12));
        }
        std::ofstream(dir + "/big.bin", std::ios::binary) << bytes;
        std::ofstream(dir + "/saved.bin", std::ios::binary) << bytes.substr(0, kSaved);
        LNDocument doc;
        db.CreateDocument(&doc, "Memo");
        doc.CreateAttachment((dir + "/big.bin").c_str());
        doc.Save();
        memo = doc.GetNoteID();
        doc.Close();
        measureFloors();
    }

    template <typename F> static double timed(int rounds, F f) {
        f(); // warm
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rounds; ++i) {
            f();
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
    }

    void measureFloors() {
        sqlite3* raw = nullptr;
        sqlite3_open_v2((dir + "/Mail1/mail/att.nsf").c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(raw, "PRAGMA cache_size=-32768; PRAGMA synchronous=FULL; CREATE TABLE floor(b BLOB)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* read = nullptr;
        sqlite3_prepare_v2(raw, "SELECT object_id FROM objects WHERE note_id = ?", -1, &read, nullptr);
        sqlite3_bind_int64(read, 1, memo);
        if (sqlite3_step(read) == SQLITE_ROW) {
            object = static_cast<DWORD>(sqlite3_column_int64(read, 0));
        }
        sqlite3_finalize(read);
        sqlite3_prepare_v2(raw, "SELECT bytes FROM objects WHERE object_id = ?", -1, &read, nullptr);
        std::string sink;
        extractFloor = timed(20, [&] {
            sqlite3_bind_int64(read, 1, object);
            if (sqlite3_step(read) == SQLITE_ROW) {
                sink.assign(static_cast<const char*>(sqlite3_column_blob(read, 0)),
                            static_cast<std::size_t>(sqlite3_column_bytes(read, 0)));
            }
            sqlite3_reset(read);
        });
        sqlite3_finalize(read);
        const std::string blob(kSaved, 'x');
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(raw, "INSERT INTO floor(b) VALUES(?)", -1, &insert, nullptr);
        insertFloor = timed(20, [&] {
            sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            sqlite3_bind_blob(insert, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
            sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
        });
        sqlite3_finalize(insert);
        sqlite3_exec(raw, "DROP TABLE floor", nullptr, nullptr, nullptr);
        sqlite3_close(raw);
    }

    ~Store() {
        db.Close();
        session.Term();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Store& store() {
    static Store s;
    return s;
}

// seconds: the timed work of all iterations.
void ratio(benchmark::State& state, double seconds, double floor) {
    state.counters["x_floor"] = seconds / static_cast<double>(state.iterations()) / floor;
}

STATUS collect(const BYTE* bytes, DWORD length, void* param) {
    static_cast<std::string*>(param)->append(reinterpret_cast<const char*>(bytes), length);
    return NOERROR;
}

void BM_Extract4MiBAttachment(benchmark::State& state) {
    Store& s = store();
    std::string out;
    out.reserve(kBig);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        NOTEHANDLE h = NULLHANDLE;
        NSFNoteOpen(s.db.GetDatabaseHandle(), s.memo, 0, &h);
        BLOCKID item{};
        DWORD size = 0;
        MailGetMessageAttachmentInfo(h, 0, &item, nullptr, &size, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        NSFNoteExtractWithCallback(h, item, nullptr, 0, collect, &out);
        NSFNoteClose(h);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (out.size() != kBig) {
            state.SkipWithError("short extraction");
        }
    }
    ratio(state, seconds, s.extractFloor);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBig));
}

void BM_SaveMemoWith1MiBAttachment(benchmark::State& state) {
    Store& s = store();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        LNDocument doc;
        s.db.CreateDocument(&doc, "Memo");
        doc.CreateAttachment((s.dir + "/saved.bin").c_str());
        doc.Save();
        doc.Close();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    ratio(state, seconds, s.insertFloor);
}

} // namespace

BENCHMARK(BM_Extract4MiBAttachment)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveMemoWith1MiBAttachment)->Unit(benchmark::kMillisecond)->Iterations(30);

BENCHMARK_MAIN();
