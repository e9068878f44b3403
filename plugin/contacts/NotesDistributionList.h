#pragma once
#include "notes/NotesDocument.h"

#include "hxMail/Contact.h"

namespace hxMail::hxNotesProvider {

// A group document of the personal address book as a host distribution list: its name, its
// description and its members as recipients.
class NotesDistributionList : public NotesDocument {
    LATTICE_CLASS(NotesDistributionList, "NotesDistributionList", NotesDocument)
public:
    NotesDistributionList() = default;
    NotesDistributionList(const NotesDistributionList& other) : NotesDocument(other) {}
    // The existing group document with the UNID text `id`.
    NotesDistributionList(String& id, MailProvider* provider, NotesAddressBook* book);
    // A new document of form "Group"; it has no UNID until saved.
    NotesDistributionList(MailProvider* provider, NotesAddressBook* book);
    // Wraps a document the caller holds (or, with `copy`, a copy of it made in `book`).
    NotesDistributionList(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy);
    ~NotesDistributionList() override;

    // The folder layer hands lists in as message items.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* out, bool flag) override;
    // The list's name, whatever the column.
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    // Null unless `create`.
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;
    using NotesDocument::createDocument;
    long createDocument(MailProvider* provider);

    // Fills `list` (made when null); members that resolve nowhere are left out.
    long load(Lattice::Ptr<hxMail::DistributionList>& list, Lattice::ObjectCollection* out, bool);
    // Writes the list as a mail group and saves it; false when nothing was saved.
    bool save(hxMail::DistributionList* list, bool);
    using NotesDocument::save;
    // "Members" from the recipients' addresses, in order, each once; never the list itself.
    void saveMembers(Lattice::ObjectCollection* members);
    bool isMailGroup();
    bool isGroupDocument();

    // The longest name or description kept; longer ones stop the save.
    static constexpr long kMaxValueBytes = 65000;
};

} // namespace hxMail::hxNotesProvider
