// The change report as the host reads it: "changes" asks once, "watch" keeps asking and prints each
// change as it arrives. The provider keeps the time of its last report, so each call names what
// happened since the one before.
#include "Commands.h"

#include "hxMail/Change.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace hxhost {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// One change as the user reads it: what kind, which item, in which folder.
Json changeJson(const Lattice::Data& value) {
    Json out = Json::object();
    auto* change = value.toObject<hxMail::ChangeItem>();
    if (!change)
        return out;
    auto* copy = dynamic_cast<hxMail::ChangeItemCopy*>(change);
    out["change"] = copy ? "new" : "deleted";
    out["itemId"] = change->get_itemId().str();
    out["parentId"] = change->get_parentId().str();
    if (copy && copy->get_item()) {
        out["class"] = copy->get_item()->className().c_str();
        out["item"] = toJson(copy->get_item().get());
    }
    return out;
}

std::string changeLine(const Json& c) {
    if (c.value("change", "") == "new") {
        const Json item = c.value("item", Json::object());
        // Messages, appointments and to-dos are named by subject, contacts and lists by name.
        std::string name = item.value("subject", "");
        for (const char* key : {"fileAsName", "name"})
            if (name.empty())
                name = item.value(key, "");
        return "new " + c.value("class", std::string("item")) + "  " + c.value("itemId", "") + "  " + name;
    }
    const std::string id = c.value("itemId", "");
    return id.empty() ? "deleted: earlier deletions are no longer known; read the mailbox again"
                      : "deleted  " + id;
}

Json askChanges(CommandContext& context, long& status) {
    Lattice::ObjectCollection changes;
    status = loggedInProvider(context).getChanges(&changes, 0);
    Json list = Json::array();
    for (const Lattice::Data& d : changes)
        list.push_back(changeJson(d));
    return list;
}

void renderChanges(const Json& result, std::ostream& out) {
    const auto list = result.find("changes");
    if (result.value("status", 0L) != 0 || list == result.end() || !list->is_array()) {
        renderResult(result, out);
        return;
    }
    if (list->empty())
        out << "no changes\n";
    for (const Json& c : *list)
        out << changeLine(c) << "\n";
}

// True once standard input, when it is a terminal, reaches its end (the user pressed Ctrl-D) or
// the user typed a line; a script's input is never read.
bool inputEnded() {
    if (!isatty(STDIN_FILENO))
        return false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP)))
        return false;
    char c = 0;
    const ssize_t taken = read(STDIN_FILENO, &c, 1); // end of input or a typed line: either stops
    (void)taken;
    return true;
}

} // namespace

void registerChangeCommands(CommandRegistry& registry) {
    registry.add({"changes", "",
                  "What was created or deleted in the mail file and the personal address book since the "
                  "previous changes (the first time: since login).",
                  0, 0,
                  [](CommandContext& context, const Args&, Json& out) {
                      long status = 0;
                      Json list = askChanges(context, status);
                      out["status"] = status;
                      out["changes"] = std::move(list);
                  },
                  renderChanges, "main provider"});
    registry.add(
        {"watch", "SECONDS",
         "Asks for changes every 2 seconds and prints each one as it arrives, for SECONDS seconds or until "
         "Ctrl-C (or Ctrl-D at a terminal).",
         1, 1,
         [](CommandContext& context, const Args& args, Json& out) {
             const long seconds = parseNumber(args[0], "SECONDS", 1);
             loggedInProvider(context);
             std::ostream& live = context.live ? *context.live : std::cout;
             struct sigaction ours {
             }, previous{};
             ours.sa_handler = onInterrupt;
             sigemptyset(&ours.sa_mask);
             interrupted = 0;
             sigaction(SIGINT, &ours, &previous);
             const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
             long reported = 0;
             long status = 0;
             try {
                 while (!interrupted) {
                     for (const Json& c : askChanges(context, status)) {
                         ++reported;
                         if (context.json)
                             live << Json{{"command", "watch"}, {"ok", true}, {"change", c}}.dump(
                                         -1, ' ', false, Json::error_handler_t::replace)
                                  << std::endl;
                         else
                             live << changeLine(c) << std::endl;
                     }
                     const auto now = std::chrono::steady_clock::now();
                     if (now >= end || inputEnded())
                         break;
                     // Wake every tenth of a second to notice an interrupt or the end soon.
                     const auto next = std::min(end, now + std::chrono::seconds(2));
                     while (!interrupted && std::chrono::steady_clock::now() < next && !inputEnded())
                         usleep(100000);
                     if (std::chrono::steady_clock::now() < next)
                         break;
                 }
             } catch (...) {
                 sigaction(SIGINT, &previous, nullptr);
                 throw;
             }
             sigaction(SIGINT, &previous, nullptr);
             out["status"] = status;
             out["reported"] = reported;
             out["interrupted"] = interrupted != 0;
         },
         renderResult, "main provider"});
}

} // namespace hxhost
