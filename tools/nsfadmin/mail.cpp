// gen-mail: many realistic memos in a user's mail file, for benchmarks and trying out paging.
#include "admin_impl.h"

#include "notes/admin/mail.h"

namespace nsfadmin {

int Admin::genMail(const std::string& server, const std::string& user, long long count, int days,
                   std::uint32_t seed) {
    if (count <= 0 || count > 10000000) {
        return impl_->badInput("COUNT must be a number from 1 to 10000000");
    }
    if (days <= 0 || days > 36500) {
        return impl_->badInput("--days must be from 1 to 36500");
    }
    if (user.empty() || user.find_first_of("/\\.") != std::string::npos) {
        return impl_->badInput("USER is a short name such as jdoe (the mail file is mail/USER.nsf)");
    }
    LNDatabase db;
    if (int rc = impl_->openDb(DbRef{server, "mail/" + user}, &db); rc != kOk) {
        return rc;
    }
    NOTEID inbox = 0;
    if (NIFFindView(db.GetDatabaseHandle(), "($Inbox)", &inbox) != NOERROR) {
        return impl_->badInput("mail/" + user + ".nsf is not a mail file (it has no ($Inbox) folder)");
    }
    const std::size_t total = static_cast<std::size_t>(count);
    const STATUS st = notes::mail::generate(
        db.GetDatabaseHandle(), total, seed, notes::ticksNow(), days, 5000, [&](std::size_t done) {
            impl_->out << "  " << done << " of " << total << " memos\n" << std::flush;
        });
    if (st != NOERROR) {
        return impl_->notesError("cannot write the memos (the batch being written was undone)", st);
    }
    impl_->out << "generated " << total << " memos in mail/" << user << ".nsf\n";
    return kOk;
}

} // namespace nsfadmin
