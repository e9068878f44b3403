#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// The contact and distribution-list operations of the main provider.
class HX_EXPORT ContactProvider : public hxMail::ContactProvider {
    LATTICE_CLASS(ContactProvider, "ContactProvider", hxMail::ContactProvider)
public:
    explicit ContactProvider(hxMail::MailProvider* owner = nullptr) : hxMail::ContactProvider(owner) {}
    ContactProvider(const ContactProvider& other) : hxMail::ContactProvider(other) {}
    ~ContactProvider() override;
};

} // namespace hxMail::hxNotesProvider
