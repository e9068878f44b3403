#pragma once
#include "hxMail/Account.h"
#include "hxMail/Providers.h"
#include "provider/Export.h"

namespace hxMail::hxNotesProvider {

// What getMailProviderInterface hands the host. It has no state; the order of the virtual
// operations is the host's and must not change.
class NotesProviderFactory {
public:
    NotesProviderFactory() = default;
    virtual ~NotesProviderFactory() = default;

    virtual const char* getTypeName();
    virtual const char* getDisplayName();
    // The caller owns the results; null when memory runs out.
    virtual hxMail::MailProvider* createProvider();
    virtual hxMail::LotusNotesAccount* createAccount();
    // Slots the host reserves; they have no effect.
    virtual long factoryReserved1(long);
    virtual long factoryReserved2();
    virtual long factoryReserved3();
};

} // namespace hxMail::hxNotesProvider

extern "C" {
// The module's one entry for the host: a new factory, or null when memory runs out.
HX_EXPORT hxMail::hxNotesProvider::NotesProviderFactory* getMailProviderInterface();
}
