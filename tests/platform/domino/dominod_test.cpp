// dominod as a process: it prints its port, answers, and stops on SIGTERM; bad folders and busy
// ports end it with a message.
#include "fixture.h"

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

#ifdef DOMINOD_PATH

namespace {

struct Daemon {
    pid_t pid = -1;
    FILE* out = nullptr; // its standard output
    FILE* err = nullptr;

    Daemon(const std::vector<std::string>& args) {
        int outPipe[2], errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            dup2(outPipe[1], 1);
            dup2(errPipe[1], 2);
            close(outPipe[0]);
            close(errPipe[0]);
            std::vector<char*> argv{const_cast<char*>(DOMINOD_PATH)};
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(DOMINOD_PATH, argv.data());
            _exit(127);
        }
        close(outPipe[1]);
        close(errPipe[1]);
        out = fdopen(outPipe[0], "r");
        err = fdopen(errPipe[0], "r");
    }

    std::string line(FILE* f) {
        char buf[512];
        return fgets(buf, sizeof buf, f) ? std::string(buf) : std::string();
    }

    std::string rest(FILE* f) {
        std::string all;
        char buf[512];
        while (fgets(buf, sizeof buf, f)) {
            all += buf;
        }
        return all;
    }

    int wait() {
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    ~Daemon() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            wait();
        }
        if (out) {
            fclose(out);
        }
        if (err) {
            fclose(err);
        }
    }
};

} // namespace

class Dominod : public DominoTest {};

TEST_F(Dominod, PrintsItsPortAnswersAndStopsOnSigterm) {
    notes::mail::Message m;
    m.from = "CN=John Smith/O=Acme";
    m.subject = "From the daemon";
    m.body = "served";
    const std::string unid = addMemo("jdoe", m);

    Daemon d({"--data", dir, "--port", "0"});
    ASSERT_GT(d.pid, 0);
    const std::string first = d.line(d.out);
    const std::size_t at = first.find(" port ");
    ASSERT_NE(at, std::string::npos) << first;
    const int port = std::stoi(first.substr(at + 6));
    ASSERT_GT(port, 0);

    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30);
    auto r = client.Get("/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument",
                        {{"Host", "Mail1"}, {"Authorization", basic("jdoe", "jane-pw")}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("<p>served</p>"), std::string::npos);
    r = client.Get("/mail/jdoe.nsf/($All)/" + unid, {{"Host", "Mail1"}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 401);

    ASSERT_EQ(kill(d.pid, SIGTERM), 0);
    EXPECT_EQ(d.wait(), 0);
    const std::string log = d.rest(d.err);
    EXPECT_NE(log.find(" 200"), std::string::npos) << log;
    EXPECT_NE(log.find(" 401"), std::string::npos) << log;
    EXPECT_EQ(log.find("jane-pw"), std::string::npos);
    EXPECT_EQ(log.find(base64("jdoe:jane-pw")), std::string::npos);
}

TEST_F(Dominod, BadFolderBusyPortAndBadArgumentsFailWithAMessage) {
    {
        Daemon d({"--data", dir + "/nowhere", "--port", "0"});
        EXPECT_EQ(d.wait(), 1);
        EXPECT_NE(d.rest(d.err).find("not a data folder"), std::string::npos);
    }
    startServer();
    {
        Daemon d({"--data", dir, "--port", std::to_string(server->port())});
        EXPECT_EQ(d.wait(), 1);
        EXPECT_NE(d.rest(d.err).find("cannot listen"), std::string::npos);
    }
    {
        Daemon d({"--data", dir, "--port", "70000"});
        EXPECT_NE(d.wait(), 0);
    }
    {
        Daemon d({"--help"});
        EXPECT_EQ(d.wait(), 0);
        EXPECT_NE(d.rest(d.out).find("--data"), std::string::npos);
    }
}

#endif
