// The web task's request parsing and routes from arbitrary bytes on a socket, against a small
// seeded server: every request gets an HTTP answer or a closed connection, and the server lives on.
// In the input "@A" stands for the credentials of the server's user and "@U" for the UNID of her
// memo, so that mutations reach documents, pictures and files as well as the refusals.
#include "domino/webserver.h"

#include "admin.h" // nsfadmin

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

namespace {

const char* kFixture = R"({"servers": [{"name": "CN=Mail1/O=Acme", "domain": "Acme", "people": [
  {"fullName": "CN=Jane Doe/O=Acme", "shortName": "jdoe", "password": "pw", "mail": [
    {"from": "CN=John Smith/O=Acme", "to": ["CN=Jane Doe/O=Acme"], "subject": "Hello", "richBody": [
      {"text": "Hi "}, {"text": "there", "bold": true}, {"link": "https://example.com/", "text": "a link"}],
     "daysAgo": 1, "attachments": ["budget.xlsx"]}]}]}]})";

// Lives until the fuzzer exits; the data folder goes with it, after the web task has stopped.
struct Server {
    std::unique_ptr<domino::WebServer> web;
    std::string unid;
    std::string dir;

    Server() = default;
    Server(Server&& o) noexcept
        : web(std::move(o.web)), unid(std::move(o.unid)), dir(std::exchange(o.dir, std::string())) {}
    Server& operator=(Server&&) = delete;
    ~Server() {
        if (web) {
            web->stop();
            web.reset();
        }
        if (!dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }
};

Server& server() {
    static Server s = [] {
        char tmpl[] = "/tmp/fuzz-webrequest-XXXXXX";
        if (!mkdtemp(tmpl)) {
            std::abort();
        }
        const std::string dir = tmpl;
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        std::ofstream(dir + "/server.json") << kFixture;
        Server made;
        made.dir = dir;
        std::ostringstream out, err;
        {
            nsfadmin::Admin admin(dir, out, err);
            if (admin.seed(dir + "/server.json") != 0) {
                std::abort();
            }
            out.str("");
            if (admin.docList({"Mail1", "mail/jdoe.nsf"}, "Memo") != 0) {
                std::abort();
            }
        }
        made.unid = out.str().substr(0, 32);
        made.web = std::make_unique<domino::WebServer>(dir, domino::Options{});
        made.web->start(0);
        return made;
    }();
    return s;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Server& s = server();
    std::string request(reinterpret_cast<const char*>(data), size);
    replaceAll(request, "@A", "Basic amRvZTpwdw=="); // jdoe:pw
    replaceAll(request, "@U", s.unid);

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        std::abort();
    }
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(s.web->port()));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::abort(); // the server died
    }
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    std::string answer;
    char buf[4096];
    for (ssize_t n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) {
        answer.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!answer.empty() && answer.rfind("HTTP/1.", 0) != 0) {
        std::abort();
    }
    if (!s.web->running()) {
        std::abort();
    }
    return 0;
}
