#include "Lattice/HTTP.h"
#include "Lattice/Settings.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Lattice::Array;
using Lattice::HTTP;
using Lattice::String;

namespace {

// A web server on an ephemeral loopback port, run on its own thread for one test.
class LocalServer {
public:
    LocalServer() {
        server_.Get("/ok", [this](const httplib::Request& req, httplib::Response& res) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                headers_ = req.headers;
            }
            ++hits_;
            res.set_content("hello body", "text/html");
        });
        server_.Get("/empty", [this](const httplib::Request&, httplib::Response& res) {
            ++hits_;
            res.status = 204;
        });
        server_.Get("/binary", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("a\0b\0c", 5), "application/octet-stream");
        });
        server_.Get(R"(/status/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            ++hits_;
            res.status = std::stoi(req.matches[1]);
            res.set_content("error page", "text/html");
        });
        server_.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://elsewhere.invalid/steal");
        });
        server_.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(300 * 1024, 'x'), "text/plain");
        });
        server_.Get("/big-page", [](const httplib::Request&, httplib::Response& res) {
            std::string page = "<html><body>";
            for (int i = 0; page.size() < 300 * 1024; ++i)
                page += "<p class=\"row\">row " + std::to_string(i) + " \xE2\x82\xAC</p>\n";
            res.set_content(page + "</body></html>", "text/html; charset=utf-8");
        });
        // 640 KB in 16 KB chunks, without a length announced.
        const auto chunked = [](const char* type, char fill) {
            return [type, fill](const httplib::Request&, httplib::Response& res) {
                res.set_chunked_content_provider(type, [fill](size_t, httplib::DataSink& sink) {
                    const std::string block(16 * 1024, fill);
                    for (int i = 0; i < 40; ++i)
                        if (!sink.write(block.data(), block.size()))
                            return false;
                    sink.done();
                    return true;
                });
            };
        };
        server_.Get("/big-page-chunked", chunked("text/html", 'z'));
        server_.Get("/big-chunked", chunked("text/plain", 'y'));
        server_.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t offset, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write("partial", 7);
                    return true;
                }
                // Send nothing more until the test is over.
                for (int i = 0; i < 200 && !stopping_ && sink.is_writable(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return false;
            });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        for (int i = 0; i < 5000 && !server_.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LocalServer() {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return port_; }
    String url(const char* path) const { return String::format("http://127.0.0.1:%d%s", port_, path); }
    // A header of the last request to "/ok".
    std::string header(const char* name) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = headers_.find(name);
        return found == headers_.end() ? std::string() : found->second;
    }
    int hits() const { return hits_; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<int> hits_{0};
    std::mutex mutex_;
    httplib::Headers headers_;
};

// A loopback port nobody listens on.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

struct Fetched {
    std::string body;
    bool null = true;
    long length = -1;
    long status = 12345;
};

Fetched get(const String& url, const Array<String>& headers = {}) {
    Fetched f;
    char* bytes = HTTP::returnGetWithHeaders(url, headers, &f.length, &f.status);
    if (bytes) {
        f.null = false;
        f.body.assign(bytes, static_cast<std::size_t>(f.length));
        EXPECT_EQ(bytes[f.length], '\0');
        HTTP::releaseBuffer(bytes);
    }
    return f;
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = HTTP::limits(); }
    void TearDown() override {
        HTTP::setLimits(saved_);
        Lattice::Settings::remove("http.connectTo");
    }
    LocalServer server_;
    HTTP::Limits saved_;
};

} // namespace

TEST_F(HttpTest, SuccessReturnsBodyAndSendsHeaders) {
    Fetched f = get(server_.url("/ok"), {"Authorization: Basic amRvZTpzZWNyZXQ=", "X-Extra: 1"});
    EXPECT_EQ(f.status, 0);
    ASSERT_FALSE(f.null);
    EXPECT_EQ(f.body, "hello body");
    EXPECT_EQ(f.length, 10);
    EXPECT_EQ(server_.header("Authorization"), "Basic amRvZTpzZWNyZXQ=");
    EXPECT_EQ(server_.header("X-Extra"), "1");

    Fetched empty = get(server_.url("/empty"));
    EXPECT_EQ(empty.status, 0);
    EXPECT_FALSE(empty.null) << "a 2xx answer always gives a buffer";
    EXPECT_EQ(empty.length, 0);

    Fetched binary = get(server_.url("/binary"));
    EXPECT_EQ(binary.status, 0);
    EXPECT_EQ(binary.body, std::string("a\0b\0c", 5));

    // Null out-parameters are allowed.
    char* bytes = HTTP::returnGetWithHeaders(server_.url("/ok"), {}, nullptr, nullptr);
    EXPECT_NE(bytes, nullptr);
    HTTP::releaseBuffer(bytes);
    HTTP::releaseBuffer(nullptr);
}

TEST_F(HttpTest, ErrorAnswersAndTransportFailuresGiveTheirStatusAndNoBody) {
    for (int code : {401, 403, 404, 500, 503}) {
        Fetched f = get(server_.url(("/status/" + std::to_string(code)).c_str()));
        EXPECT_EQ(f.status, code);
        EXPECT_TRUE(f.null);
        EXPECT_EQ(f.length, 0);
    }
    // Redirects are not followed, so credentials never go to another host.
    Fetched r = get(server_.url("/redirect"), {"Authorization: Basic eDp5"});
    EXPECT_EQ(r.status, 302);
    EXPECT_TRUE(r.null);
    EXPECT_EQ(HTTP::statusText(404), "HTTP status 404");

    // Transport failures are negative.
    Fetched refused = get(String::format("http://127.0.0.1:%d/ok", closedPort()));
    EXPECT_EQ(refused.status, -7); // could not connect
    EXPECT_TRUE(refused.null);
    EXPECT_NE(HTTP::statusText(refused.status).find("connect"), String::npos);
}

TEST_F(HttpTest, StalledTransferIsAborted) {
    HTTP::Limits l;
    l.stallSeconds = 1;
    l.totalTimeoutMs = 8000;
    HTTP::setLimits(l);
    Fetched f = get(server_.url("/stall"));
    EXPECT_EQ(f.status, -28); // operation timed out
    EXPECT_TRUE(f.null);
}

TEST_F(HttpTest, OversizedBodyIsRefusedAndOversizedPageCutWithANote) {
    HTTP::Limits l;
    l.maxBodyBytes = 100 * 1024;
    HTTP::setLimits(l);
    for (const char* path : {"/big", "/big-chunked"}) {
        Fetched f = get(server_.url(path));
        EXPECT_EQ(f.status, -63) << path; // maximum file size exceeded
        EXPECT_TRUE(f.null) << path;
    }
    const std::string note =
        "<p class=\"hx-message-cut\"><i>[This page is larger than 100 KB; the rest of it "
        "is not shown.]</i></p>";
    // With and without a length announced; at a tag start when there is one near the limit.
    for (const char* path : {"/big-page", "/big-page-chunked"}) {
        Fetched f = get(server_.url(path));
        ASSERT_EQ(f.status, 0) << path;
        ASSERT_EQ(f.length, static_cast<long>(f.body.size()));
        ASSERT_GE(f.body.size(), note.size());
        EXPECT_LE(f.body.size(), 100u * 1024 + note.size()) << path;
        EXPECT_GT(f.body.size(), 36u * 1024) << "cut close below the limit: " << path;
        EXPECT_EQ(f.body.substr(f.body.size() - note.size()), note) << path;
        const std::string kept = f.body.substr(0, f.body.size() - note.size());
        const std::size_t lt = kept.rfind('<');
        EXPECT_TRUE(lt == std::string::npos || kept.find('>', lt) != std::string::npos) << "no half tag";
    }
    l.maxBodyBytes = 1024 * 1024;
    HTTP::setLimits(l);
    for (const char* path : {"/big-chunked", "/big-page-chunked"}) {
        Fetched ok = get(server_.url(path));
        EXPECT_EQ(ok.status, 0);
        EXPECT_EQ(ok.length, 40 * 16 * 1024) << "under the limit nothing is cut";
    }
}

// The text form of a GET gives the same answer as the buffer form, without a copy, and leaves the
// room asked for past the body whether or not a length was announced.
TEST_F(HttpTest, TextGetsMatchBufferGetsAndLeaveRoom) {
    HTTP::Limits l;
    l.maxBodyBytes = 100 * 1024;
    HTTP::setLimits(l);
    for (const char* path : {"/ok", "/empty", "/binary", "/status/404", "/redirect", "/big", "/big-page",
                             "/big-page-chunked", "/big-chunked"}) {
        const Fetched expected = get(server_.url(path));
        String text("left from before");
        const long status = HTTP::getText(server_.url(path), {}, text, 4096);
        EXPECT_EQ(status, expected.status) << path;
        EXPECT_EQ(text.str(), expected.body) << path;
        if (status == 0) {
            EXPECT_GE(text.str().capacity(), text.str().size() + 4096) << path;
        }
    }
    String text("kept?");
    EXPECT_EQ(HTTP::getText("ftp://127.0.0.1/x", {}, text), HTTP::kInvalidRequest);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(HttpTest, BadRequestsAreRejectedBeforeAnyTransfer) {
    int before = server_.hits();
    for (const char* url : {"", "   ", "ftp://127.0.0.1/x", "file:///etc/passwd", "Mail1/ok", "gopher://x"})
        EXPECT_EQ(get(String(url)).status, HTTP::kInvalidRequest) << url;
    for (const char* header : {"X-Bad: a\r\nInjected: 1", "X-Bad: a\nb", "NoColon", ": empty name"})
        EXPECT_EQ(get(server_.url("/ok"), {String(header)}).status, HTTP::kInvalidRequest) << header;
    EXPECT_EQ(server_.hits(), before);
}

TEST_F(HttpTest, ConnectToMapsServerNamesToLocalAddresses) {
    Lattice::Settings::set("http.connectTo",
                           String::format("garbage, =x, Other:80=, Mail1:80=127.0.0.1:%d", server_.port()));
    Fetched f = get("http://Mail1/ok", {"Authorization: Basic bWFpbDE="});
    EXPECT_EQ(f.status, 0);
    EXPECT_EQ(f.body, "hello body");
    EXPECT_EQ(server_.header("Host"), "Mail1") << "the server sees the name, not the address";
    EXPECT_EQ(server_.header("Authorization"), "Basic bWFpbDE=");

    // Host names match whatever their case.
    EXPECT_EQ(get("http://MAIL1/ok").status, 0);

    // Host without a port maps every port of that host.
    Lattice::Settings::set("http.connectTo", String::format("mail2=127.0.0.1:%d", server_.port()));
    EXPECT_EQ(get("http://mail2:8080/status/404").status, 404);
}

TEST_F(HttpTest, CredentialsNeverReachTheConsole) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    get(server_.url("/ok"), {"Authorization: Basic c2VjcmV0LXRva2Vu"});
    get(server_.url("/status/401"), {"Authorization: Basic c2VjcmV0LXRva2Vu"});
    get(String::format("http://127.0.0.1:%d/", closedPort()), {"Authorization: Basic c2VjcmV0LXRva2Vu"});
    std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(out.find("c2VjcmV0LXRva2Vu"), std::string::npos);
    EXPECT_EQ(server_.header("Authorization"), "Basic c2VjcmV0LXRva2Vu");
}

TEST_F(HttpTest, ConcurrentRequestsAreIndependent) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                Fetched f = get(server_.url((t % 2) ? "/ok" : "/status/404"));
                if ((t % 2) ? (f.status == 0 && f.body == "hello body") : (f.status == 404 && f.null))
                    ++good;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(good, 30);
}

TEST(HttpLimits, NonPositiveValuesFallBackToDefaults) {
    HTTP::Limits saved = HTTP::limits();
    HTTP::setLimits({0, -1, 0, 0});
    HTTP::Limits l = HTTP::limits();
    HTTP::Limits d;
    EXPECT_EQ(l.connectTimeoutMs, d.connectTimeoutMs);
    EXPECT_EQ(l.totalTimeoutMs, d.totalTimeoutMs);
    EXPECT_EQ(l.stallSeconds, d.stallSeconds);
    EXPECT_EQ(l.maxBodyBytes, d.maxBodyBytes);
    HTTP::setLimits({100, 200, 3, 4096});
    EXPECT_EQ(HTTP::limits().maxBodyBytes, 4096);
    HTTP::setLimits(saved);
}
