// The mail router stand-in: delivers what waits in a server's "mail.box".
//
// Every name in a memo's "Recipients" is resolved through the server's "names.nsf" ("($Users)":
// canonical, common and short names, internet addresses; groups expanded, nested, each once).
// A Notes user gets a copy in their mail file, in "($Inbox)", with "DeliveredDate"; a name that
// resolves to nobody gets the sender a delivery-failure report; people on another mail system and
// plain internet addresses go out as one .eml file per memo in the data directory's "outbound"
// folder. The memo leaves "mail.box" after all of that.
//
// Crash safety: each delivered copy and report has a UNID derived from the memo's UNID and its
// destination, and the .eml is written to a temporary name and renamed, so a memo routed again
// after an interruption (the router killed mid-delivery) adds nothing that is already there:
// every memo is delivered exactly once.
//
// The Notes runtime must be started (a LNNotesSession, or NotesInitExtended) on the data
// directory before a Router is used.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace domino {

struct RouteReport {
    std::size_t memos = 0;           // taken out of mail.box
    std::size_t delivered = 0;       // copies put into mail files
    std::size_t failed = 0;          // names that resolved to nobody
    std::size_t outbound = 0;        // .eml files written
    std::vector<std::string> errors; // memos left in mail.box, with the reason
};

// One memo waiting in mail.box.
struct WaitingMemo {
    std::string unid, from, subject;
    std::vector<std::string> recipients;
};

class Router {
public:
    // `server` is the server's common name ("Mail1"); `dataDirectory` the Notes data directory
    // (the outbound folder lives there).
    Router(std::string server, std::string dataDirectory);
    ~Router();
    Router(const Router&) = delete;
    Router& operator=(const Router&) = delete;

    // Delivers everything waiting now.
    RouteReport routeOnce();
    // What waits in mail.box, in note order; empty when there is no mail.box.
    std::vector<WaitingMemo> waiting() const;
    // The .eml files of the outbound queue, sorted by name.
    std::vector<std::string> outboundFiles() const;
    std::string outboundFolder() const;

    // Makes routeOnce stop, as a killed router would, after this many steps (each copy or report
    // put into a mail file, the outbound file, taking the memo out of mail.box): for tests of
    // routing again after an interruption.
    void interruptAfter(std::size_t steps) { interruptAfter_ = steps; }

    // Routes every `interval` on a thread of its own until stop(); `log` gets one line per memo.
    void start(std::chrono::milliseconds interval, std::function<void(const std::string&)> log = {});
    void stop();

private:
    std::string server_;
    std::string dataDirectory_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::size_t interruptAfter_ = static_cast<std::size_t>(-1);
};

} // namespace domino
