#include "provider/NotesProviderFactory.h"

#include "provider/MailProvider.h"

#include <new>

namespace hxMail::hxNotesProvider {

const char* NotesProviderFactory::getTypeName() {
    return "hxNotes";
}

const char* NotesProviderFactory::getDisplayName() {
    return "Notes";
}

hxMail::MailProvider* NotesProviderFactory::createProvider() {
    return new (std::nothrow) MailProvider();
}

hxMail::LotusNotesAccount* NotesProviderFactory::createAccount() {
    return new (std::nothrow) hxMail::LotusNotesAccount();
}

long NotesProviderFactory::factoryReserved1(long) {
    return -1;
}

long NotesProviderFactory::factoryReserved2() {
    return -1;
}

long NotesProviderFactory::factoryReserved3() {
    return 0;
}

} // namespace hxMail::hxNotesProvider
