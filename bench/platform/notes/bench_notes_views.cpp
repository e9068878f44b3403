// Views of a large directory: reading, finding, searching and the cost the index adds to a save.
// Each figure is also given as a ratio ("x_floor") to a floor measured in the same run: one
// ordered scan of every note id of the database, the least any view read could cost.
#include "notes/admin/handle.h"
#include "notes/admin/templates.h"
#include "notes/lncpp.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int kPeople = 20000;

void text(NOTEHANDLE note, const char* name, const std::string& value) {
    NSFItemAppend(note, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)), TYPE_TEXT, value.data(),
                  static_cast<DWORD>(value.size()));
}

struct Directory {
    std::string dir;
    LNNotesSession session;
    LNDatabase names, plain;
    double floorSeconds = 0;

    Directory() {
        char tmpl[] = "/tmp/notes-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        std::filesystem::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        session.Init();
        notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory);
        NSFDbCreate("Mail1!!plain.nsf", DBCLASS_NOTEFILE, 0);
        session.GetDatabase("names.nsf", &names, "Mail1");
        session.GetDatabase("plain.nsf", &plain, "Mail1");
        names.Open();
        plain.Open();
        for (int i = 0; i < kPeople; ++i) {
            notes::admin::NoteHandle n;
            NSFNoteCreate(names.GetDatabaseHandle(), n.out());
            const std::string id = std::to_string(i);
            const std::string full =
                "CN=Person " + id + " Surname" + std::to_string(i * 7919 % kPeople) + "/O=Acme";
            text(n.get(), "Form", "Person");
            text(n.get(), "FullName", full);
            text(n.get(), "ShortName", "p" + id);
            text(n.get(), "InternetAddress", "person" + id + "@acme.example");
            NSFNoteUpdate(n.get(), 0);
        }
        LNViewFolder warm;
        names.GetViewFolder("($Users)", &warm);
        warm.Open();
        names.GetViewFolder("($VIMPeopleAndGroups)", &warm);
        warm.Open();
        const auto start = std::chrono::steady_clock::now();
        LNNoteArray ids;
        for (int k = 0; k < 10; ++k) {
            names.GetNotes(&ids);
        }
        floorSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 10;
    }
    ~Directory() {
        names.Close();
        plain.Close();
        session.Term();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Directory& directory() {
    static Directory d;
    return d;
}

void ratio(benchmark::State& state, std::chrono::steady_clock::time_point start) {
    const double per = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                       static_cast<double>(state.iterations());
    state.counters["x_floor"] = per / directory().floorSeconds;
}

void BM_OpenViewAndCount(benchmark::State& state) {
    Directory& d = directory();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        LNViewFolder view;
        d.names.GetViewFolder("($VIMPeopleAndGroups)", &view);
        view.Open();
        benchmark::DoNotOptimize(view.GetEntryCount());
        view.Close();
    }
    ratio(state, start);
}
BENCHMARK(BM_OpenViewAndCount)->Unit(benchmark::kMillisecond);

void BM_FindInUsers(benchmark::State& state) {
    Directory& d = directory();
    LNViewFolder view;
    d.names.GetViewFolder("($Users)", &view);
    view.Open();
    int i = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(view.Find(("P" + std::to_string(i++ % kPeople)).c_str()));
    }
    ratio(state, start);
}
BENCHMARK(BM_FindInUsers)->Unit(benchmark::kMicrosecond);

void BM_NameLookup(benchmark::State& state) {
    directory();
    const std::string spaces = std::string("($Users)") + '\0', items = std::string("FullName") + '\0';
    int i = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const std::string name = "person" + std::to_string(i++ % kPeople) + "@acme.example" + '\0';
        DHANDLE h = NULLHANDLE;
        NAMELookup2("", 0, 1, spaces.data(), 1, name.data(), 1, items.data(), &h);
        OSMemFree(h);
    }
    ratio(state, start);
}
BENCHMARK(BM_NameLookup)->Unit(benchmark::kMillisecond);

void BM_FTSearchFilter(benchmark::State& state) {
    Directory& d = directory();
    LNViewFolder view;
    d.names.GetViewFolder("($VIMPeopleAndGroups)", &view);
    view.Open();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        LNVFNavigator nav;
        view.FTSearch("([FullName] CONTAINS surname12*) OR ([ListName] CONTAINS surname12*)", &nav);
        benchmark::DoNotOptimize(nav.GetEntryCount());
    }
    ratio(state, start);
}
BENCHMARK(BM_FTSearchFilter)->Unit(benchmark::kMillisecond);

// A save into the directory (rows in three views) against a save into a database without views.
void save(benchmark::State& state, LNDatabase& db) {
    const auto start = std::chrono::steady_clock::now();
    int i = 0;
    for (auto _ : state) {
        LNDocument doc;
        db.CreateDocument(&doc, "Person");
        doc.CreateItem("FullName", LNText(("CN=Bench " + std::to_string(i++) + "/O=Acme").c_str()));
        doc.CreateItem("ShortName", LNText("bench"));
        doc.Save();
        doc.Close();
    }
    ratio(state, start);
}
void BM_SavePlain(benchmark::State& state) {
    save(state, directory().plain);
}
void BM_SaveIndexed(benchmark::State& state) {
    save(state, directory().names);
}
BENCHMARK(BM_SavePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveIndexed)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
