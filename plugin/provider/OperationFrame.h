#pragma once
#include "notes/NotesErrors.h"
#include "provider/MailProvider.h"

namespace hxMail::hxNotesProvider {

// The frame of one host operation that touches Notes: throw-all-errors mode on for its length
// (the caller's mode put back after), and a fresh handle on each of the provider's databases,
// closed again on every way out. Handles close before the mode is put back.
class OperationFrame : public ThrowAllErrorsScope {
public:
    explicit OperationFrame(MailProvider* provider) : provider_(provider) {
        if (provider_)
            provider_->lockAll();
    }
    ~OperationFrame() {
        if (provider_)
            provider_->unlockAll();
    }
    OperationFrame(const OperationFrame&) = delete;
    OperationFrame& operator=(const OperationFrame&) = delete;

private:
    MailProvider* provider_;
};

} // namespace hxMail::hxNotesProvider
