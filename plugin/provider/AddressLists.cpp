// The host's address lists: the directory and the personal address book, chosen by the
// recipient-folder ids that the contact provider handed out.
#include "notes/NotesAddressBook.h"
#include "provider/OperationFrame.h"

namespace hxMail::hxNotesProvider {

NotesAddressBook* MailProvider::selectBook(const String& bookId) const {
    // An empty id would match a book id that was never handed out.
    if (bookId.isEmpty())
        return nullptr;
    if (bookId == directoryBookId)
        return directory;
    if (bookId == personalBookId)
        return userAddressBook;
    return nullptr;
}

long MailProvider::getAddressListCount(String bookId, long& count) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesAddressBook* book = selectBook(bookId))
        count = book->getAddressListCount(this);
    return 0;
}

long MailProvider::getAddressList(String bookId, long count, Collection* entries) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesAddressBook* book = selectBook(bookId))
        book->getAddressList(entries, 0, count, this);
    return 0;
}

long MailProvider::getAddressListPage(String bookId, long start, long count, Collection* entries) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesAddressBook* book = selectBook(bookId))
        book->getAddressList(entries, start, count, this);
    return 0;
}

long MailProvider::findAddressList(String bookId, String searchText, long count, long b, Collection* entries,
                                   long& start, long& c) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesAddressBook* book = selectBook(bookId))
        book->getAddressList(searchText, count, b, entries, start, c, this);
    return 0;
}

} // namespace hxMail::hxNotesProvider
