// A data folder per test with the server "Mail1": Jane Doe (jdoe) and John Smith (jsmith), each with
// a mail file, and a web server on an ephemeral loopback port.
#pragma once

#include "domino/webserver.h"
#include "mailgen.h"
#include "store.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

std::string base64(const std::string& text);
std::string basic(const std::string& user, const std::string& password); // "Basic ..."
inline const std::string kJane = basic("jdoe", "jane-pw");
inline const std::string kJohn = basic("jsmith", "john-pw");

// A memo from John to Jane, posted and delivered on 5 December 2024.
notes::mail::Message memo(const std::string& subject, const std::string& body = "");

class DominoTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Stores a memo into "mail/<shortName>.nsf" of Mail1 (`adjust` changes its items before the
    // save); returns its UNID text.
    std::string addMemo(const std::string& shortName, notes::mail::Message message,
                        const std::function<void(notes::Note&)>& adjust = {});
    void startServer(domino::Options options = {});

    // GET with the given Authorization header ("" for none) and Host ("" for the client's own).
    httplib::Result get(const std::string& target, const std::string& authorization,
                        const std::string& host = "");
    // The answer to a GET as Jane on Mail1 by default; status -1 when none came.
    httplib::Response fetch(const std::string& target, const std::string& authorization = kJane,
                            const std::string& host = "Mail1");
    // The status of that GET; -1 when no answer came.
    int status(const std::string& target, const std::string& authorization, const std::string& host = "");

    std::string dir;
    std::unique_ptr<domino::WebServer> server;
    std::vector<std::string> log;
    std::mutex logMutex;
    std::atomic<long long> clockSeconds{1000}; // the credential cache's clock
};
