#pragma once

class LNDatabase;
class LNDocument;
class LNNote;
class LNNotesSession;
class LNViewFolder;

namespace hxMail::hxNotesProvider {

class MailProvider;
class NotesDatabase;
class NotesAddressBook;
class NotesUser;
class NotesDocument;
class NotesFolder;
class NotesMessage;
struct _UserInfoStruct;

} // namespace hxMail::hxNotesProvider
