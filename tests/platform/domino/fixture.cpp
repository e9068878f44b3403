#include "fixture.h"

#include "admin.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

std::string base64(const std::string& text) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < text.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(text[i]) << 16) |
                           (static_cast<unsigned char>(text[i + 1]) << 8) |
                           static_cast<unsigned char>(text[i + 2]);
        out += {abc[v >> 18], abc[(v >> 12) & 63], abc[(v >> 6) & 63], abc[v & 63]};
    }
    if (i + 1 == text.size()) {
        const unsigned v = static_cast<unsigned char>(text[i]) << 16;
        out += {abc[v >> 18], abc[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == text.size()) {
        const unsigned v =
            (static_cast<unsigned char>(text[i]) << 16) | (static_cast<unsigned char>(text[i + 1]) << 8);
        out += {abc[v >> 18], abc[(v >> 12) & 63], abc[(v >> 6) & 63], '='};
    }
    return out;
}

std::string basic(const std::string& user, const std::string& password) {
    return "Basic " + base64(user + ":" + password);
}

notes::mail::Message memo(const std::string& subject, const std::string& body) {
    notes::mail::Message m;
    m.from = "CN=John Smith/O=Acme";
    m.sendTo = {"CN=Jane Doe/O=Acme"};
    m.subject = subject;
    m.body = body;
    m.posted = m.delivered = 1733400000LL * 100;
    return m;
}

void DominoTest::SetUp() {
    char tmpl[] = "/tmp/domino-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    std::ostringstream out, err;
    {
        nsfadmin::Admin admin(dir, out, err);
        ASSERT_EQ(admin.serverAdd("CN=Mail1/O=Acme"), nsfadmin::kOk) << err.str();
        nsfadmin::PersonEntry jane;
        jane.fullName = "CN=Jane Doe/O=Acme";
        jane.shortName = "jdoe";
        jane.internetAddress = "jane.doe@acme.example";
        ASSERT_EQ(admin.userAdd("Mail1", jane, "jane-pw"), nsfadmin::kOk) << err.str();
        nsfadmin::PersonEntry john;
        john.fullName = "CN=John Smith/O=Acme";
        john.shortName = "jsmith";
        john.internetAddress = "john.smith@acme.example";
        ASSERT_EQ(admin.userAdd("Mail1", john, "john-pw"), nsfadmin::kOk) << err.str();
    }
    unsetenv("NOTES_DATA_DIR");
}

void DominoTest::TearDown() {
    if (server) {
        server->stop();
        server.reset();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string DominoTest::addMemo(const std::string& shortName, notes::mail::Message message,
                                const std::function<void(notes::Note&)>& adjust) {
    const std::string path = "mail/" + shortName + ".nsf";
    std::shared_ptr<notes::Database> db;
    EXPECT_EQ(notes::Database::open(dir + "/Mail1/" + path, "Mail1", path, &db), NOERROR);
    if (!db) {
        return "";
    }
    if (!adjust) {
        std::vector<NOTEID> ids;
        EXPECT_EQ(notes::mail::store(*db, {message}, &ids), NOERROR);
        notes::NoteInfo info;
        EXPECT_EQ(db->info(ids.at(0), &info), NOERROR);
        return notes::unidToText(info.unid);
    }
    notes::Note note;
    notes::mail::fill(message, &note);
    adjust(note);
    EXPECT_EQ(db->save(note), NOERROR);
    return notes::unidToText(note.info.unid);
}

void DominoTest::startServer(domino::Options options) {
    if (!options.accessLog) {
        options.accessLog = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(logMutex);
            log.push_back(line);
        };
    }
    if (!options.clock) {
        options.clock = [this] {
            return std::chrono::steady_clock::time_point{} + std::chrono::seconds(clockSeconds.load());
        };
    }
    server = std::make_unique<domino::WebServer>(dir, options);
    server->start(0);
    ASSERT_GT(server->port(), 0);
}

httplib::Result DominoTest::get(const std::string& target, const std::string& authorization,
                                const std::string& host) {
    httplib::Client client("127.0.0.1", server->port());
    client.set_connection_timeout(5);
    client.set_read_timeout(30);
    httplib::Headers headers;
    if (!authorization.empty()) {
        headers.emplace("Authorization", authorization);
    }
    if (!host.empty()) {
        headers.emplace("Host", host);
    }
    return client.Get(target, headers);
}

int DominoTest::status(const std::string& target, const std::string& authorization, const std::string& host) {
    const httplib::Result r = get(target, authorization, host);
    return r ? r->status : -1;
}

httplib::Response DominoTest::fetch(const std::string& target, const std::string& authorization,
                                    const std::string& host) {
    httplib::Result r = get(target, authorization, host);
    if (r) {
        return *r;
    }
    httplib::Response none;
    none.status = -1;
    return none;
}
