// The admin API's calls that take a C API handle, over the store behind it.
#include "notes/admin/access.h"
#include "notes/admin/mail.h"
#include "notes/admin/templates.h"
#include "notes/admin/testhooks.h"

#include "acl.h"
#include "attachments.h"
#include "mailgen.h"
#include "runtime.h"
#include "templates.h"

namespace notes {

STATUS mail::store(DBHANDLE db, const std::vector<Message>& messages, std::vector<NOTEID>* ids) {
    const auto d = handles::database(db);
    return d ? store(*d, messages, ids) : ERR_INVALID_HANDLE;
}

STATUS mail::generate(DBHANDLE db, std::size_t count, std::uint32_t seed, std::int64_t now, int days,
                      std::size_t batch, const std::function<void(std::size_t)>& progress) {
    const auto d = handles::database(db);
    return d ? generate(*d, count, seed, now, days, batch, progress) : ERR_INVALID_HANDLE;
}

STATUS templates::apply(DBHANDLE db, Kind kind) {
    const auto d = handles::database(db);
    return d ? apply(*d, kind) : ERR_INVALID_HANDLE;
}

STATUS testhooks::truncateAttachment(DBHANDLE db, NOTEID note, WORD number, std::size_t length) {
    const auto d = handles::database(db);
    return d ? files::truncateAttachment(*d, note, number, length) : ERR_INVALID_HANDLE;
}

STATUS testhooks::truncateObject(DBHANDLE db, DWORD objectId, std::size_t length) {
    const auto d = handles::database(db);
    return d ? d->truncateObject(objectId, length) : ERR_INVALID_HANDLE;
}

bool access::isMailFile(DBHANDLE db) {
    const auto d = handles::database(db);
    return d && acl::isMailFile(*d);
}

STATUS access::setReader(DBHANDLE db, const std::string& name, bool reader, std::string* fullName) {
    const auto d = handles::database(db);
    if (!d) {
        return ERR_INVALID_HANDLE;
    }
    if (!acl::isMailFile(*d)) {
        return ERR_INVALID_PARAM;
    }
    std::string canonical;
    if (STATUS s = acl::personName(d->server(), name, &canonical); s != NOERROR) {
        return s == ERR_NOT_FOUND || s == ERR_NO_DIRECTORY ? ERR_NOT_FOUND : s;
    }
    if (fullName) {
        *fullName = canonical;
    }
    return acl::setReader(*d, canonical, reader);
}

STATUS access::readers(DBHANDLE db, std::vector<std::string>* out, bool* hasList) {
    const auto d = handles::database(db);
    return d ? acl::readers(*d, out, hasList) : ERR_INVALID_HANDLE;
}

} // namespace notes
