// nsfadmin mailbox and route: the router stand-in's queues, and delivery on demand.
#include "admin_impl.h"

#include "domino/router.h"

#include "notes/admin/config.h"

namespace nsfadmin {

namespace {

std::string joined(const std::vector<std::string>& values) {
    std::string out;
    for (const std::string& v : values)
        out += (out.empty() ? "" : "; ") + latin1ToUtf8(v);
    return out;
}

} // namespace

int Admin::mailbox(const std::string& server) {
    if (server.empty())
        return impl_->badInput("mailbox needs a server (-s)");
    if (LNSTATUS s = impl_->start(); s != LNNOERROR)
        return impl_->notesError("cannot start Notes", s);
    LNDatabase box;
    if (LNSTATUS s = impl_->session.GetDatabase("mail.box", &box, utf8ToLatin1(server)); s != LNNOERROR)
        return impl_->notesError("cannot open mail.box on " + server, s);
    domino::Router router(utf8ToLatin1(server), notes::dataDirectory());
    const auto waiting = router.waiting();
    impl_->out << "mail.box: " << waiting.size() << (waiting.size() == 1 ? " memo\n" : " memos\n");
    for (const auto& memo : waiting)
        impl_->out << memo.unid << "\t" << latin1ToUtf8(memo.from) << "\t" << latin1ToUtf8(memo.subject)
                   << "\t" << joined(memo.recipients) << "\n";
    const auto files = router.outboundFiles();
    impl_->out << "outbound: " << files.size() << (files.size() == 1 ? " message\n" : " messages\n");
    for (const auto& file : files)
        impl_->out << file << "\n";
    return kOk;
}

int Admin::route(const std::string& server) {
    if (server.empty())
        return impl_->badInput("route needs a server (-s)");
    if (LNSTATUS s = impl_->start(); s != LNNOERROR)
        return impl_->notesError("cannot start Notes", s);
    LNDatabase box;
    if (LNSTATUS s = impl_->session.GetDatabase("mail.box", &box, utf8ToLatin1(server)); s != LNNOERROR)
        return impl_->notesError("cannot open mail.box on " + server, s);
    domino::Router router(utf8ToLatin1(server), notes::dataDirectory());
    const domino::RouteReport report = router.routeOnce();
    impl_->out << "routed " << report.memos << (report.memos == 1 ? " memo: " : " memos: ")
               << report.delivered << " delivered, " << report.failed << " failed, " << report.outbound
               << " outbound\n";
    for (const std::string& error : report.errors)
        impl_->err << "nsfadmin: " << error << "\n";
    return report.errors.empty() ? kOk : kNotesError;
}

} // namespace nsfadmin
