// The routes below a document (pictures, MIME parts, files): the same login and access rule as the
// page, in the same order, and requests that are cut short or make no sense.
#include "fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Sends raw bytes (optionally half-closing), and returns whatever comes back before the server
// closes or 5 seconds pass.
std::string rawExchange(int port, const std::string& bytes, bool halfClose) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        (void)send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (halfClose) {
            shutdown(fd, SHUT_WR);
        }
        pollfd p{fd, POLLIN, 0};
        char buf[4096];
        while (poll(&p, 1, 5000) > 0) {
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                break;
            }
            answer.append(buf, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return answer;
}

} // namespace

class DominoRoutes : public DominoTest {
protected:
    void SetUp() override {
        DominoTest::SetUp();
        mine = addMemo("jdoe", memo("Mine", "text"));
        theirs = addMemo("jsmith", memo("Theirs", "text"));
        startServer();
    }
    std::string base(const std::string& user, const std::string& unid) const {
        return "/Mail1/mail/" + user + ".nsf/($All)/" + unid;
    }
    std::string mine, theirs;
};

TEST_F(DominoRoutes, ElementRoutesCheckLoginThenAccessThenDocument) {
    const std::string zero(32, '0');
    for (const std::string element : {"/Body/0.0?OpenElement", "/Body/M0?OpenElement", "/$FILE/a.txt"}) {
        const struct {
            std::string target, authorization;
            int status;
        } cases[] = {
            {base("jdoe", mine), "", 401},
            {base("jdoe", mine), basic("jdoe", "wrong"), 401},
            // Another user's file is forbidden whether or not the element exists.
            {base("jsmith", theirs), kJane, 403},
            {base("jsmith", zero), kJane, 403},
            {base("jdoe", mine), kJane, 404}, // a plain memo has no pictures, MIME parts or files
        };
        for (const auto& c : cases) {
            auto r = get(c.target + element, c.authorization);
            ASSERT_TRUE(r);
            EXPECT_EQ(r->status, c.status) << c.target << element << " (row " << &c - cases << ")";
            if (c.status == 401) {
                EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Basic realm=\"Domino\"");
            }
        }
    }
}

TEST_F(DominoRoutes, MalformedElementsAndCommandsAreNotFound) {
    for (const std::string& tail : std::vector<std::string>{"/Body/0.x",
                                                            "/Body/0.",
                                                            "/Body/0.-1",
                                                            "/Body/0.1234567",
                                                            "/Body/1.0",
                                                            "/Body/M",
                                                            "/Body/Mx",
                                                            "/Body/M-1",
                                                            "/Body/M99999999999999999999",
                                                            "/Body/0.0?EditDocument",
                                                            "/Body/0.0?OpenDocument",
                                                            "/Subject/0.0",
                                                            "/Body",
                                                            "/Body/0.0/more",
                                                            "/$FILE",
                                                            "/$FILE/a.txt/more",
                                                            "/$FILE/a.txt?Delete",
                                                            "/$FILE/%2e%2e",
                                                            "/$FILE/..%2f..%2fnames.nsf",
                                                            "/$FILE/%00"}) {
        auto r = get(base("jdoe", mine) + tail, kJane);
        ASSERT_TRUE(r) << tail;
        EXPECT_TRUE(r->status == 404 || r->status == 400) << tail << " gave " << r->status;
    }
    // Elements below an unknown view or document are not found either.
    for (const std::string& target :
         {"/Mail1/mail/jdoe.nsf/($Nowhere)/" + mine + "/Body/0.0",
          base("jdoe", std::string(32, '0')) + "/Body/M0", base("jdoe", mine.substr(1)) + "/$FILE/a.txt"}) {
        EXPECT_EQ(status(target, kJane), 404) << target;
    }
    EXPECT_TRUE(server->running());
}

TEST_F(DominoRoutes, HeadAnswersLikeGetWithoutABody) {
    httplib::Client client("127.0.0.1", server->port());
    auto r = client.Head(base("jdoe", mine) + "?OpenDocument", {{"Authorization", kJane}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_TRUE(r->body.empty());
    EXPECT_NE(r->get_header_value("Content-Type").find("text/html"), std::string::npos);
    r = client.Head(base("jdoe", mine), {});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 401);
    r = client.Head(base("jdoe", mine) + "/Body/0.7", {{"Authorization", kJane}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 404);
}

TEST_F(DominoRoutes, TruncatedAndMalformedRequestsLeaveTheServerServing) {
    const int port = server->port();
    const std::string auth = "Authorization: " + kJane + "\r\n";
    const std::vector<std::pair<std::string, bool>> hostile = {
        {"", true},                                                            // connect and leave
        {"GET /mail/jdoe.nsf/($All)/" + mine, true},                           // no version, no end
        {"GET /mail/jdoe.nsf/($All)/" + mine + " HTTP/1.1\r\nHost: Ma", true}, // headers cut short
        {"GET / HTTP/1.1\r\nContent-Length: 100\r\n\r\nshort", true},          // body cut short
        {std::string("\x00\x01\x02\xff\r\n\r\n", 8), true},                    // not HTTP at all
        {"GET " + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", true},        // absurd target
        {"GET / HTTP/1.1\r\n" + std::string(20000, 'x') + "\r\n\r\n", true},   // absurd header
        {"BREW /pot HTTP/1.1\r\n" + auth + "\r\n", true},                      // unknown method
        {"GET nothing-absolute HTTP/1.1\r\n" + auth + "\r\n", true},           // no leading slash
        {"GET /%zz HTTP/1.1\r\n" + auth + "\r\n", true},                       // broken escape
    };
    for (const auto& [bytes, halfClose] : hostile) {
        const std::string answer = rawExchange(port, bytes, halfClose);
        // Whatever came back, it was never a page of the mail file.
        EXPECT_EQ(answer.find("<input name=\"Form\""), std::string::npos) << bytes.substr(0, 40);
    }
    EXPECT_EQ(status(base("jdoe", mine) + "?OpenDocument", kJane), 200);
    EXPECT_TRUE(server->running());
}
