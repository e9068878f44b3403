#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// The task operations of the main provider.
class HX_EXPORT TaskProvider : public hxMail::TaskProvider {
    LATTICE_CLASS(TaskProvider, "TaskProvider", hxMail::TaskProvider)
public:
    explicit TaskProvider(hxMail::MailProvider* owner = nullptr) : hxMail::TaskProvider(owner) {}
    TaskProvider(const TaskProvider& other) : hxMail::TaskProvider(other) {}
    ~TaskProvider() override;
};

} // namespace hxMail::hxNotesProvider
