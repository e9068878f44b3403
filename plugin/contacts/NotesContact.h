#pragma once
#include "notes/NotesDocument.h"

#include "hxMail/Contact.h"

namespace hxMail::hxNotesProvider {

// One row of a contact field map: the host member path ("businessAddress.city"), the Notes item,
// and the value type ("string" in every row).
struct _contactMapStruct {
    const char* path;
    const char* item;
    const char* type;
};

// Applied to the ContactDetail, and to the Contact; both in this row order, both directions.
HX_EXPORT extern const _contactMapStruct detailFieldMap[];
HX_EXPORT extern const long detailFieldMapCount;
HX_EXPORT extern const _contactMapStruct contactFieldMap[];
HX_EXPORT extern const long contactFieldMapCount;

// Upper-case words that open a name (titles) or close it (suffixes).
HX_EXPORT extern const Lattice::String titleWords[];
HX_EXPORT extern const long titleWordCount;
HX_EXPORT extern const Lattice::String suffixWords[];
HX_EXPORT extern const long suffixWordCount;

// A person document of an address book as a host contact, through the two field maps; also the
// text rules by which names and postal addresses are composed and parsed.
class HX_EXPORT NotesContact : public NotesDocument {
    LATTICE_CLASS(NotesContact, "NotesContact", NotesDocument)
public:
    NotesContact() = default;
    NotesContact(const NotesContact& other) : NotesDocument(other), contactId(other.contactId) {}
    // The existing document with the UNID text `id`.
    NotesContact(String& id, MailProvider* provider, NotesAddressBook* book);
    // A new document of form "Person"; it has no UNID until saved.
    NotesContact(MailProvider* provider, NotesAddressBook* book);
    // Wraps a document the caller holds (or, with `copy`, a copy of it made in `book`).
    NotesContact(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy);
    ~NotesContact() override;

    void setContactId(const String& id) { contactId = id; }
    const String& ContactId() const { return contactId; }

    // The folder layer hands contacts in as message items.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag) override;
    long loadDetail(Lattice::SchemaBase* detail) override;
    // The item's file-as name, whatever the column.
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    // Null unless `create`: a contact is announced whole when it is new.
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;
    using NotesDocument::createDocument;
    long createDocument(MailProvider* provider);

    // Fills `contact` (made when null) and a new detail attached to it; appends it to `list`.
    long load(Lattice::Ptr<hxMail::Contact>& contact, Lattice::ObjectCollection* list, bool);
    // Writes both maps (a null detail leaves the detail's items alone) and saves. A value Notes
    // cannot hold (see fits) stops the save before anything is written: false.
    bool save(hxMail::Contact* contact, Lattice::SchemaBase* detail);
    using NotesDocument::save;
    // Name parts and file-as name from the detail's display name.
    void calcNameFields(MailProvider* provider, hxMail::Contact* contact, hxMail::ContactDetail* detail);
    void loadStringServiceFields(const _contactMapStruct* map, Lattice::SchemaBase* target, long count);
    void saveStringServiceFields(const _contactMapStruct* map, Lattice::SchemaBase* source, long count);

    // Whether the wrapped document is a person (and not, say, a group of the same book).
    bool isPerson();

    // The longest text one mapped item takes: a Notes text item counts its bytes in 16 bits, and
    // the document's summary must still hold the rest.
    static constexpr long kMaxValueBytes = 65000;
    // Empty when every mapped value fits in Notes, else the host path of the first that does not.
    static String oversizedField(hxMail::Contact* contact, Lattice::SchemaBase* detail);

    // The word test: `word` in upper case occurs in one of the entries.
    static bool matchList(const char* word, const String* list, long count);
    // Name parsing. Title, first, last and suffix are set only where the rule finds them; middle
    // words are appended to `middle`; `fileAsName` is always set.
    static void parseName(const String& fullName, String& title, String& first, String& middle, String& last,
                          String& suffix, String& fileAsName);
    static void composeName(const String& title, const String& first, const String& middle,
                            const String& last, const String& suffix, String& fullName, String& fileAsName);
    static String composeAddress(const hxMail::Address& address);
    static void parseAddress(const String& fullAddress, hxMail::Address& address);

private:
    String contactId;
};

} // namespace hxMail::hxNotesProvider
