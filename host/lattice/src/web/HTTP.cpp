#include "Lattice/HTTP.h"

#include "Lattice/Settings.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace Lattice {

namespace {

std::mutex gLimitsMutex;
HTTP::Limits gLimits;

void ensureGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// The body goes straight into the text handed to the caller: sized from Content-Length when the
// answer has one (plus the room the caller asked for), grown by half otherwise, so a page is held
// once, not three times.
struct Sink {
    std::string* text = nullptr;
    std::size_t room = 0; // kept free past the body for the caller's insertions
    std::size_t max = 0;
    bool html = false; // a page: cut at the limit rather than refused
    bool tooLarge = false;
    bool outOfMemory = false;

    std::size_t size() const { return text->size(); }

    // Room for `needed` bytes.
    bool reserve(std::size_t needed) {
        if (needed <= text->capacity())
            return true;
        try {
            text->reserve(needed);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return false;
        }
        return true;
    }
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    size_t n = size * count;
    if (sink->size() + n > sink->max) {
        sink->tooLarge = true;
        // A page keeps what fits; a short write makes curl abort the transfer.
        if (sink->html && sink->reserve(sink->max))
            sink->text->append(data, sink->max - sink->size());
        return 0;
    }
    if (sink->size() + n > sink->text->capacity()) {
        std::size_t want = std::max(sink->size() + n, sink->text->capacity() + sink->text->capacity() / 2);
        if (!sink->reserve(std::min(want, sink->max)))
            return 0;
    }
    sink->text->append(data, n);
    return n;
}

// Sizes the text once the headers tell the body's length (a compressed body grows past it).
size_t readHeader(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    std::string_view line(data, size * count);
    constexpr std::string_view kLength = "content-length:";
    constexpr std::string_view kType = "content-type:";
    if (line.size() > kType.size()) {
        std::string head(line.substr(0, std::min(line.size(), std::size_t(64))));
        for (char& c : head)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (head.rfind(kType, 0) == 0)
            sink->html = head.find("text/html") != std::string::npos;
    }
    if (line.size() > kLength.size()) {
        std::string name(line.substr(0, kLength.size()));
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == kLength) {
            unsigned long long length =
                std::strtoull(std::string(line.substr(kLength.size())).c_str(), nullptr, 10);
            if (length > 0 && length <= sink->max && sink->size() == 0)
                sink->reserve(static_cast<std::size_t>(length) + sink->room);
        }
    }
    return size * count;
}

bool append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown)
        return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

// "host:port" -> {host, port}; the port may be missing. Bracketed IPv6 hosts keep their brackets.
std::pair<std::string, std::string> splitHostPort(std::string s) {
    auto bracket = s.rfind(']');
    auto colon = s.rfind(':');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        return {s, ""};
    return {s.substr(0, colon), s.substr(colon + 1)};
}

// Turns the "http.connectTo" setting into curl's "host:port:address:port" entries. Malformed
// entries are skipped so that one bad mapping cannot break every request.
Slist connectToList() {
    Slist list;
    String setting = Settings::get("http.connectTo");
    if (setting.trimmed().isEmpty())
        return list;
    for (const String& raw : setting.split(",", false)) {
        String entry = raw.trimmed();
        long eq = entry.find('=');
        if (eq <= 0 || eq + 1 >= entry.length())
            continue;
        auto [host, port] = splitHostPort(entry.left(eq).trimmed().str());
        auto [addr, addrPort] = splitHostPort(entry.substring(eq + 1).trimmed().str());
        if (host.empty() || addr.empty() || host.find_first_of(" \t\r\n") != std::string::npos ||
            addr.find_first_of(" \t\r\n") != std::string::npos)
            continue;
        append(list, host + ":" + port + ":" + addr + ":" + addrPort);
    }
    return list;
}

bool validHeaderLine(const String& line) {
    if (line.find('\r') >= 0 || line.find('\n') >= 0 || line.find('\0') >= 0)
        return false;
    long colon = line.find(':');
    return colon > 0;
}

// "64 MB", "100 KB" or "1000 bytes".
std::string sizeText(std::size_t bytes) {
    if (bytes % (1024 * 1024) == 0)
        return std::to_string(bytes / (1024 * 1024)) + " MB";
    if (bytes % 1024 == 0)
        return std::to_string(bytes / 1024) + " KB";
    return std::to_string(bytes) + " bytes";
}

// Ends a page cut at the limit: at the start of a tag close below the cut, so that no tag is left
// half (else at a character boundary), followed by a note the reader sees.
bool finishCutPage(Sink& sink) {
    const std::string& bytes = *sink.text;
    std::size_t at = bytes.size();
    std::size_t lt = at;
    while (lt > 0 && at - lt < 64 * 1024 && bytes[lt - 1] != '<')
        --lt;
    if (lt > 0 && bytes[lt - 1] == '<') {
        at = lt - 1;
    } else {
        while (at > 0 && at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80)
            --at;
    }
    const std::string note = "<p class=\"hx-message-cut\"><i>[This page is larger than " +
                             sizeText(sink.max) + "; the rest of it is not shown.]</i></p>";
    sink.text->resize(at);
    if (!sink.reserve(at + note.size() + sink.room))
        return false;
    sink.text->append(note);
    return true;
}

void setOut(long* p, long v) {
    if (p)
        *p = v;
}

// The transfer itself: the body into `body`, the status as returnGetWithHeaders reports it.
long perform(const String& url, const Array<String>& headers, std::string& body, std::size_t room) {
    body.clear();
    String trimmedUrl = url.trimmed();
    if (!(trimmedUrl.startsWithNoCase("http://") || trimmedUrl.startsWithNoCase("https://")) ||
        trimmedUrl.find('\0') >= 0)
        return HTTP::kInvalidRequest;

    Slist headerList;
    for (const String& line : headers) {
        if (line.trimmed().isEmpty())
            continue;
        if (!validHeaderLine(line))
            return HTTP::kInvalidRequest;
        if (!append(headerList, line.str()))
            return -static_cast<long>(CURLE_OUT_OF_MEMORY);
    }

    ensureGlobalInit();
    HTTP::Limits lim = HTTP::limits();
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy)
        return -static_cast<long>(CURLE_FAILED_INIT);
    CURL* c = easy.get();
    Slist connectTo = connectToList();
    Sink sink;
    sink.text = &body;
    sink.room = room;
    sink.max = static_cast<std::size_t>(lim.maxBodyBytes);

    curl_easy_setopt(c, CURLOPT_URL, trimmedUrl.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // signals are process-wide; we run on many threads
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, lim.connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, lim.totalTimeoutMs);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, lim.stallSeconds);
    // gzip and deflate, as mail servers' web tasks offer them; brotli costs the server far more per page.
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &sink);
    if (headerList)
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    if (connectTo)
        curl_easy_setopt(c, CURLOPT_CONNECT_TO, connectTo.get());

    CURLcode rc = curl_easy_perform(c);
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    const bool cut = rc == CURLE_WRITE_ERROR && sink.tooLarge && sink.html && sink.size() == sink.max &&
                     code >= 200 && code <= 299;
    long status = 0;
    if (cut && !finishCutPage(sink))
        status = -static_cast<long>(CURLE_OUT_OF_MEMORY);
    else if (rc != CURLE_OK && !cut)
        status = sink.outOfMemory ? -static_cast<long>(CURLE_OUT_OF_MEMORY)
                 : (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
                     ? -static_cast<long>(CURLE_FILESIZE_EXCEEDED)
                     : -static_cast<long>(rc);
    else if (code < 200 || code > 299)
        status = code > 0 ? code : -static_cast<long>(CURLE_WEIRD_SERVER_REPLY);
    if (status != 0)
        std::string().swap(body);
    else if (!sink.reserve(body.size() + room)) // an answer without a length grew by steps
        status = -static_cast<long>(CURLE_OUT_OF_MEMORY);
    return status;
}

} // namespace

char* HTTP::returnGetWithHeaders(const String& url, const Array<String>& headers, long* length,
                                 long* status) {
    setOut(length, 0);
    std::string body;
    const long result = perform(url, headers, body, 0);
    setOut(status, result);
    if (result != 0)
        return nullptr;
    // An empty body still gets its NUL.
    auto* bytes = static_cast<char*>(std::malloc(body.size() + 1));
    if (!bytes) {
        setOut(status, -static_cast<long>(CURLE_OUT_OF_MEMORY));
        return nullptr;
    }
    std::memcpy(bytes, body.data(), body.size());
    bytes[body.size()] = '\0';
    setOut(length, static_cast<long>(body.size()));
    return bytes;
}

long HTTP::getText(const String& url, const Array<String>& headers, String& body, std::size_t room) {
    return perform(url, headers, body.str(), room);
}

void HTTP::releaseBuffer(char* bytes) {
    std::free(bytes);
}

String HTTP::statusText(long status) {
    if (status == 0)
        return "OK";
    if (status == kInvalidRequest)
        return "invalid request (URL or header line rejected)";
    if (status > 0)
        return String::format("HTTP status %ld", status);
    return String::format("transfer failed: %s", curl_easy_strerror(static_cast<CURLcode>(-status)));
}

void HTTP::setLimits(const Limits& limits) {
    Limits defaults;
    Limits l = limits;
    if (l.connectTimeoutMs < 1)
        l.connectTimeoutMs = defaults.connectTimeoutMs;
    if (l.totalTimeoutMs < 1)
        l.totalTimeoutMs = defaults.totalTimeoutMs;
    if (l.stallSeconds < 1)
        l.stallSeconds = defaults.stallSeconds;
    if (l.maxBodyBytes < 1)
        l.maxBodyBytes = defaults.maxBodyBytes;
    std::lock_guard<std::mutex> lock(gLimitsMutex);
    gLimits = l;
}

HTTP::Limits HTTP::limits() {
    std::lock_guard<std::mutex> lock(gLimitsMutex);
    return gLimits;
}

} // namespace Lattice
