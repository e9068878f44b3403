#pragma once
#include "hxMail/Account.h"
#include "hxMail/Providers.h"

namespace hxhost {

// The host's view of what a plug-in's getMailProviderInterface returns: an operation table in the
// host's fixed order, and nothing else. The plug-in's own class stays unknown to the host.
class MailProviderFactory {
public:
    MailProviderFactory() = default;
    MailProviderFactory(const MailProviderFactory&) = delete;
    MailProviderFactory& operator=(const MailProviderFactory&) = delete;
    virtual ~MailProviderFactory() = default;

    virtual const char* getTypeName() = 0;
    virtual const char* getDisplayName() = 0;
    // The caller owns the results; null when the plug-in cannot make one.
    virtual hxMail::MailProvider* createProvider() = 0;
    virtual hxMail::LotusNotesAccount* createAccount() = 0;
    virtual long factoryReserved1(long) = 0;
    virtual long factoryReserved2() = 0;
    virtual long factoryReserved3() = 0;
};

// The one plain function every mail provider plug-in exports.
using GetMailProviderInterface = MailProviderFactory* (*)();

} // namespace hxhost
