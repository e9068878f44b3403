// Memory of opening a message: getMessageDetail of a memo whose web page is 1, 10 and 60 MB of
// rich-text markup (and 1 and 4 MB of mostly one style sheet), through the provider and a canned web task in
// a process of its own (so that its copies of the page do not count). Reported per size: the peak resident
// memory the open adds, as a ratio to the page size, and over the fixed base that opening a small page adds
// in the same run (a 64 KB page); and the time, the fastest open as a ratio to the fastest of a few plain
// libcurl GETs of the same page, in wall time and in processor time (this process and the web task's,
// steadier than wall time on a shared machine).
#include "BenchFolder.h"

#include "hxMail/Providers.h"

#include "Lattice/Base.h"
#include "Lattice/Settings.h"
#include "Lattice/Util.h"
#include "notes/capi.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

// ---- the canned web task: a child process answering every GET with the current page file ----

std::string gPageFile;
int gPort = 0;
pid_t gChild = 0;

void serve(int listener) {
    for (;;) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = read(client, buffer, sizeof buffer);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        std::ifstream in(gPageFile, std::ios::binary);
        std::stringstream page;
        page << in.rdbuf();
        const std::string body = page.str();
        const std::string head =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n";
        for (const std::string* part : {&head, &body}) {
            std::size_t sent = 0;
            while (sent < part->size()) {
                const ssize_t n = write(client, part->data() + sent, part->size() - sent);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
        }
        close(client);
    }
}

// Forked before any thread exists; the child serves until the parent ends it.
void startWebTask(const std::string& dir) {
    gPageFile = dir + "/page.html";
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    gPort = ntohs(address.sin_port);
    gChild = fork();
    if (gChild < 0)
        std::abort();
    if (gChild == 0) {
        serve(listener);
        _exit(0);
    }
    close(listener);
}

void stopWebTask() {
    if (gChild > 0) {
        kill(gChild, SIGTERM);
        waitpid(gChild, nullptr, 0);
    }
}

// A page as the web task renders a rich-text memo: header table, body, hidden form fields. The
// body is dense with the font runs, breaks and tables that rich text turns into.
std::string richPage(std::size_t bytes) {
    std::string page = "<html><head><title>Report</title></head><body text=\"#000000\" bgcolor=\"#FFFFFF\">"
                       "<form><table><tr><td>From</td><td>John Smith</td></tr></table>";
    const std::string tail = "<input name=\"Form\" type=\"hidden\" value=\"Memo\"></form></body></html>";
    page.reserve(bytes + 512);
    for (long line = 0; page.size() + tail.size() < bytes; ++line) {
        if (line % 20 == 19) {
            page += "<table border=\"1\"><tr><td><font size=\"2\" face=\"Arial\">Q" + std::to_string(line) +
                    "</font></td><td><font size=\"2\" face=\"Arial\">1,234.50</font></td></tr></table>\n";
        } else {
            page += "<font size=\"2\" face=\"Arial\">Line " + std::to_string(line) +
                    " of the quarterly report, with <b>figures</b> and remarks.</font><br>\n";
        }
    }
    return page + tail;
}

// A page that is mostly one style sheet, as some newsletters send: every rule of it is checked
// and scoped to the message.
std::string stylePage(std::size_t bytes) {
    std::string page = "<html><head><style type=\"text/css\">\n";
    const std::string tail = "</style></head><body><p class=\"c1\">Newsletter</p></body></html>";
    page.reserve(bytes + 512);
    for (long rule = 0; page.size() + tail.size() < bytes; ++rule) {
        const std::string name = std::to_string(rule);
        page += "td.c" + name + ", .c" + name + " a:hover { color: #1f3864; font: 11pt Arial; margin: 0 0 " +
                std::to_string(rule % 7) + "px }\n";
        if (rule % 50 == 0)
            page += "@media (max-width: 600px) { .c" + name + " { width: 100% !important } }\n";
    }
    return page + tail;
}

BenchFolder* gFolder = nullptr;

struct Setup {
    std::string unid;
    Lattice::Ptr<hxMail::MailProvider> provider;

    Setup() {
        gFolder->addServer("CN=Mail1/O=Acme");
        gFolder->addUser("CN=Mail1/O=Acme", "CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example",
                         "demo-password");
        unid = addMemo("Large", [](NOTEHANDLE) {});
        Lattice::Settings::set("http.connectTo", "Mail1:80=127.0.0.1:" + std::to_string(gPort));
        provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
        if (!provider || provider->login("jdoe", "demo-password", "", 0, 0) != 0)
            std::abort();
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// ---- measuring ----

long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return 0;
}

// Resident memory now, with the peak mark reset to it.
double residentNowMb() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return static_cast<double>(statusKb("VmRSS:")) / 1024.0;
}

double peakMb() {
    return static_cast<double>(statusKb("VmHWM:")) / 1024.0;
}

void writePage(std::size_t bytes, bool styled = false) {
    std::ofstream(gPageFile, std::ios::binary) << (styled ? stylePage(bytes) : richPage(bytes));
}

// Processor time so far of this process and of the web task, in seconds.
double processorSeconds() {
    timespec own{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &own);
    double child = 0;
    std::ifstream stat("/proc/" + std::to_string(gChild) + "/schedstat");
    stat >> child; // nanoseconds on a processor
    return static_cast<double>(own.tv_sec) + static_cast<double>(own.tv_nsec) * 1e-9 + child * 1e-9;
}

// What opening the memo adds to resident memory at its peak, in MB; `seconds` gets the time and
// `cpu` the processor time.
double openPeakMb(double* seconds, double* cpu = nullptr) {
    hxMail::MessageProvider* messages = setup().provider->messageProvider();
    Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
    const double before = residentNowMb();
    const double cpuStart = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    messages->getMessageDetail(setup().unid.c_str(), "html", detail);
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu)
        *cpu = processorSeconds() - cpuStart;
    const double peak = peakMb() - before;
    if (detail->get_body()->get_text().isEmpty())
        std::abort();
    return peak;
}

size_t collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The floor: a plain libcurl GET of the page into memory, the fastest of a few (the machine is
// shared, so single runs scatter); `cpu` gets the least processor time of them.
double rawGetSeconds(double* cpu) {
    double best = 1e9;
    *cpu = 1e9;
    for (int i = 0; i < 5; ++i) {
        CURL* curl = curl_easy_init();
        const std::string url = "http://127.0.0.1:" + std::to_string(gPort) + "/page";
        std::string body;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        const double cpuStart = processorSeconds();
        const auto start = std::chrono::steady_clock::now();
        if (curl_easy_perform(curl) != CURLE_OK)
            std::abort();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        *cpu = std::min(*cpu, processorSeconds() - cpuStart);
        curl_easy_cleanup(curl);
    }
    return best;
}

double gBaseMb = -1;

void openPage(benchmark::State& state, bool styled) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * 1024 * 1024;
    if (gBaseMb < 0) {
        // The base: what opening a small page adds.
        writePage(64 * 1024);
        double ignored = 0;
        openPeakMb(&ignored); // warm: connections, caches, the provider's first allocations
        gBaseMb = openPeakMb(&ignored);
    }
    writePage(bytes, styled);
    double getCpu = 0;
    double getSeconds = rawGetSeconds(&getCpu);
    double peak = 0, seconds = 0, fastest = 1e9, cpu = 0, leastCpu = 1e9;
    for (auto _ : state) {
        peak = std::max(peak, openPeakMb(&seconds, &cpu));
        state.SetIterationTime(seconds);
        fastest = std::min(fastest, seconds);
        leastCpu = std::min(leastCpu, cpu);
    }
    const double pageMb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["page_MB"] = pageMb;
    state.counters["peak_MB"] = peak;
    state.counters["base_MB"] = gBaseMb;
    state.counters["peak_vs_page"] = peak / pageMb;
    state.counters["over_base_vs_page"] = (peak - gBaseMb) / pageMb;
    state.counters["get_ms"] = getSeconds * 1000;
    state.counters["vs_get"] = fastest / getSeconds;
    state.counters["get_cpu_ms"] = getCpu * 1000;
    state.counters["cpu_vs_get"] = leastCpu / getCpu;
}

void BM_OpenLargeBody(benchmark::State& state) {
    openPage(state, false);
}

void BM_OpenStyleSheetPage(benchmark::State& state) {
    openPage(state, true);
}

} // namespace

BENCHMARK(BM_OpenLargeBody)
    ->Arg(1)
    ->Arg(10)
    ->Arg(60)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStyleSheetPage)
    ->Arg(1)
    ->Arg(4)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    BenchFolder folder("bodymemory");
    gFolder = &folder;
    startWebTask(folder.dir);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopWebTask();
    return 0;
}
