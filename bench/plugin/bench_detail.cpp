// Opening a message: getMessageDetail of a rich-text memo with a picture and of an HTML MIME memo,
// through the provider and a web task stand-in on loopback. Each is reported as a ratio to the
// floor measured in the same run: plain libcurl GETs of the same page(s) with the same Basic
// header and the same accepted encodings (one for the rich-text memo, two for the MIME memo, as the
// plug-in does).
#include "BenchFolder.h"
#include "admin.h"
#include "mimeparts.h"
#include "richtext.h"

#include "domino/webserver.h"
#include "hxMail/Providers.h"
#include "notes/NotesFolder.h"

#include "Lattice/Base.h"
#include "Lattice/Logger.h"
#include "Lattice/Settings.h"
#include "Lattice/Util.h"
#include "notes/capi.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::string paragraphText() {
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Line " + std::to_string(i) + " of the quarterly report, with figures and remarks. ";
    return text;
}

struct Setup {
    BenchFolder folder{"detail"};
    std::string richUnid, mimeUnid;
    std::unique_ptr<domino::WebServer> web;
    Lattice::Ptr<hxMail::MailProvider> provider;
    std::string authorization;

    Setup() {
        folder.addServer("CN=Mail1/O=Acme");
        folder.addUser("CN=Mail1/O=Acme", "CN=Jane Doe/O=Acme", "jdoe", "jane.doe@acme.example",
                       "demo-password");

        richUnid = addMemo("Rich", [](NOTEHANDLE h) {
            notes::ods::RichTextElement text, picture, paragraph;
            text.kind = notes::ods::kCdText;
            text.text = paragraphText();
            paragraph.kind = notes::ods::kCdParagraph;
            picture.kind = notes::ods::kCdGraphic;
            picture.text = "image/gif";
            picture.bytes = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!", 19);
            picture.width = picture.height = 1;
            append(h, "Body", TYPE_COMPOSITE,
                   notes::ods::encodeRichText({text, paragraph, picture, paragraph, text}));
        });
        mimeUnid = addMemo("Mime", [](NOTEHANDLE h) {
            const std::string eml =
                "From: john@acme.example\r\nSubject: Mime\r\nMIME-Version: 1.0\r\n"
                "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
                "--b1\r\nContent-Type: text/plain\r\n\r\n" +
                paragraphText() +
                "\r\n--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<html><body><p>" +
                paragraphText() + "</p></body></html>\r\n--b1--\r\n";
            notes::mime::Message message;
            std::string error;
            std::vector<std::pair<WORD, std::string>> items;
            if (!notes::mime::parseMessage(eml, &message, &error) ||
                notes::mime::encodeParts(message, &items) != NOERROR)
                std::abort();
            for (const auto& item : items)
                append(h, "Body", TYPE_MIME_PART, item.second);
            append(h, "$NoteHasNativeMIME", TYPE_TEXT, "1");
        });

        web = std::make_unique<domino::WebServer>(folder.dir);
        web->start(0);
        Lattice::Settings::set("http.connectTo", "Mail1:80=127.0.0.1:" + std::to_string(web->port()));
        provider = static_cast<hxMail::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
        if (!provider || provider->login("jdoe", "demo-password", "", 0, 0) != 0)
            std::abort();
        authorization =
            "Authorization: Basic " + Lattice::BaseObject64::encode("Jane Doe/Acme:demo-password").str();
    }
    ~Setup() {
        provider = nullptr;
        web.reset();
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

size_t collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// One plain libcurl GET with the Basic header; the body.
std::string plainGet(CURL* curl, const std::string& path) {
    std::string body;
    const std::string url = "http://127.0.0.1:" + std::to_string(setup().web->port()) + path;
    curl_slist* headers = curl_slist_append(nullptr, setup().authorization.c_str());
    headers = curl_slist_append(headers, "Host: Mail1");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(curl) != CURLE_OK)
        std::abort();
    curl_slist_free_all(headers);
    return body;
}

double secondsOf(const std::function<void()>& work, int times) {
    work(); // warm: connections, caches
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < times; ++i)
        work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / times;
}

// The floor of a memo: its page, and for the MIME memo the HTML part its link names.
double floorSeconds(const std::string& unid, bool followLink) {
    CURL* curl = curl_easy_init();
    // The request the framework's HTTP facility makes: a fresh connection, and any encoding this
    // libcurl can decode (the web task then compresses the page, which is most of its cost).
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    const std::string page = "/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument";
    const double seconds = secondsOf(
        [&] {
            const std::string text = plainGet(curl, page);
            if (followLink) {
                const std::size_t at = text.find("href=\"/mail");
                if (at == std::string::npos)
                    std::abort();
                const std::size_t start = at + 6;
                benchmark::DoNotOptimize(plainGet(curl, text.substr(start, text.find('"', start) - start)));
            }
        },
        30);
    curl_easy_cleanup(curl);
    return seconds;
}

void detail(benchmark::State& state, bool mime) {
    const std::string unid = mime ? setup().mimeUnid : setup().richUnid;
    const double floor = floorSeconds(unid, mime);
    hxMail::MessageProvider* messages = setup().provider->messageProvider();
    double total = 0;
    for (auto _ : state) {
        Lattice::Ptr<hxMail::MessageDetail> detail = new hxMail::MessageDetail();
        const auto start = std::chrono::steady_clock::now();
        messages->getMessageDetail(unid.c_str(), "html", detail);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (detail->get_body()->get_text().isEmpty())
            state.SkipWithError("empty body");
    }
    state.counters["floor_ms"] = floor * 1000;
    state.counters["vs_floor"] = total / static_cast<double>(state.iterations()) / floor;
}

void BM_MessageDetailRichText(benchmark::State& state) {
    detail(state, false);
}
void BM_MessageDetailMime(benchmark::State& state) {
    detail(state, true);
}

} // namespace

BENCHMARK(BM_MessageDetailRichText)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_MessageDetailMime)->Unit(benchmark::kMillisecond)->Iterations(30);

BENCHMARK_MAIN();
