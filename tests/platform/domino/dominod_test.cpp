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
    const std::string unid = addMemo("jdoe", memo("From the daemon", "served"));

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
                        {{"Host", "Mail1"}, {"Authorization", kJane}});
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
    startServer();
    const struct {
        std::vector<std::string> args;
        int status; // -1: any failure
        const char* message;
    } cases[] = {
        {{"--data", dir + "/nowhere", "--port", "0"}, 1, "not a data folder"},
        {{"--data", dir, "--port", std::to_string(server->port())}, 1, "cannot listen"},
        {{"--data", dir, "--port", "70000"}, -1, "--port"},
        {{"--help"}, 0, "--data"}, // on standard output
    };
    for (const auto& c : cases) {
        Daemon d(c.args);
        const int status = d.wait();
        if (c.status < 0) {
            EXPECT_NE(status, 0) << c.message;
        } else {
            EXPECT_EQ(status, c.status) << c.message;
        }
        EXPECT_NE(d.rest(c.status == 0 ? d.out : d.err).find(c.message), std::string::npos) << c.message;
    }
}

#endif
