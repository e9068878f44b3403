// nsfadmin acl: who besides its owner may read a mail file.
#include "admin_impl.h"

#include "notes/admin/access.h"

namespace nsfadmin {

int Admin::acl(const DbRef& ref, const std::string& action, const std::string& name,
               const std::string& level) {
    if (action != "list" && action != "add")
        return impl_->badInput("acl: unknown action '" + action + "' (list or add)");
    if (action == "list" && (!name.empty() || !level.empty()))
        return impl_->badInput("acl list takes no name or access level");
    if (action == "add" && name.empty())
        return impl_->badInput("acl add needs a name and an access level (reader or none)");
    if (action == "add" && level != "reader" && level != "none")
        return impl_->badInput("acl add: the access level is reader or none, not '" + level + "'");
    LNDatabase db;
    if (int rc = impl_->openDb(ref, &db); rc != kOk)
        return rc;
    const DBHANDLE handle = db.GetDatabaseHandle();
    if (!notes::access::isMailFile(handle))
        return impl_->badInput(Impl::describe(ref) + " is no mail file; only mail files have an access list");
    if (action == "list") {
        std::vector<std::string> readers;
        bool hasList = false;
        if (STATUS s = notes::access::readers(handle, &readers, &hasList); s != NOERROR)
            return impl_->notesError("cannot read the access list", s);
        for (const std::string& who : readers)
            impl_->out << "reader\t" << latin1ToUtf8(who) << "\n";
        return kOk;
    }
    std::string fullName;
    const STATUS s = notes::access::setReader(handle, utf8ToLatin1(name), level == "reader", &fullName);
    // Entries name directory people, so a typo neither grants nor keeps access for nobody.
    if (s == ERR_NOT_FOUND)
        return impl_->badInput("acl add: '" + name + "' is no one person of the directory");
    if (s != NOERROR)
        return impl_->notesError("cannot write the access list", s);
    impl_->out << level << "\t" << latin1ToUtf8(fullName) << "\n";
    return kOk;
}

} // namespace nsfadmin
