// The contact provider's operations. Contacts are given as fields of a Contact (fileAsName=...,
// eMail1=..., homeAddress.city=...) and of its detail (detail.first=..., detail.last=...).
#include "Commands.h"

namespace hxhost {

namespace {

using Collection = Lattice::ObjectCollection;
using ContactPtr = Lattice::Ptr<hxMail::Contact>;
using DetailPtr = Lattice::Ptr<hxMail::ContactDetail>;

} // namespace

void registerContactCommands(CommandRegistry& registry) {
    addOperations(
        registry, "contact provider",
        {
            {"newContact", "FOLDER", "A new, unsaved contact.",
             [](Call& c) {
                 ContactPtr contact;
                 c.status(c.contacts().newContact(c.folder(0), contact));
                 c.out("contact", contact);
             }},
            {"removeContact", "ID", "Deletes a contact.",
             [](Call& c) { c.status(c.contacts().removeContact(c.message(0))); }},
            {"getContactFolders", "[PARENT]",
             "The recipient folders (address books), under the mailbox unless given.",
             [](Call& c) {
                 Collection out;
                 const Lattice::String parent = c.has(0) ? c.text(0) : sessionMailbox(c.context()).get_id();
                 c.status(c.contacts().getContactFolders(parent, &out));
                 c.out("folders", out);
             }},
            {"getRecipients", "BOOK", "The entries of a recipient folder (gal, pab or its id).",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Folder> folder(new hxMail::RecipientFolder());
                 folder->set_id(c.book(0));
                 Lattice::Ptr<hxMail::Recipients> out(new hxMail::Recipients());
                 c.status(c.contacts().getRecipients("", folder, out));
                 c.out("recipients", out);
             }},
            {"getContactDetail", "ID", "A contact's detail.",
             [](Call& c) {
                 DetailPtr detail(new hxMail::ContactDetail());
                 c.status(c.contacts().getContactDetail(c.message(0), detail));
                 c.out("detail", detail);
             }},
            {"addContact", "FOLDER [FIELD=VALUE...]", "Creates a contact in the personal address book.",
             [](Call& c) {
                 c.status(c.contacts().addContact(c.folder(0), c.item<hxMail::Contact>(1),
                                                  c.detail<hxMail::ContactDetail>(1)));
             }},
            {"saveContact", "[FIELD=VALUE...]", "Writes the fields into the contact id=ID.",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.contacts().saveContact(c.item<hxMail::Contact>(0),
                                                   c.detail<hxMail::ContactDetail>(0), flag));
                 c.out("flag", flag);
             }},
            {"getFilteredRecipients", "FILTER",
             "People and groups of both books with a name word starting FILTER.",
             [](Call& c) {
                 Collection out;
                 c.status(c.contacts().getFilteredRecipients(c.text(0), &out));
                 c.out("recipients", out);
             }},
            {"nameChanged", "TITLE FIRST MIDDLE LAST SUFFIX",
             "The full and file-as names made of name parts.",
             [](Call& c) {
                 Lattice::String full;
                 Lattice::String fileAs;
                 c.status(c.contacts().nameChanged("", c.text(0), c.text(1), c.text(2), c.text(3), c.text(4),
                                                   full, fileAs));
                 c.out("fullName", full);
                 c.out("fileAsName", fileAs);
             }},
            {"addressChanged", "[FIELD=VALUE...]", "The full address made of an Address's parts.",
             [](Call& c) {
                 Lattice::String full;
                 c.status(c.contacts().addressChanged("", c.item<hxMail::Address>(0), "", full));
                 c.out("fullAddress", full);
             }},
            {"fullAddressChanged", "TEXT", "An address split into its parts.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Address> address(new hxMail::Address());
                 c.status(c.contacts().fullAddressChanged("", c.text(0), address));
                 c.out("address", address);
             }},
            {"fullNameChanged", "TEXT", "A full name split into its parts.",
             [](Call& c) {
                 Lattice::String title, first, last, middle, suffix, fileAs;
                 c.status(
                     c.contacts().fullNameChanged("", c.text(0), title, first, last, middle, suffix, fileAs));
                 c.out("title", title);
                 c.out("first", first);
                 c.out("middle", middle);
                 c.out("last", last);
                 c.out("suffix", suffix);
                 c.out("fileAsName", fileAs);
             }},
            {"addDistributionList", "FOLDER [FIELD=VALUE...]",
             "Creates a distribution list (name=..., text=..., memberList=[{\"_class\":\"Recipient\",...}]).",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.contacts().addDistributionList(c.folder(0), c.item<hxMail::DistributionList>(1),
                                                           flag));
                 c.out("flag", flag);
             }},
            {"saveDistributionList", "[FIELD=VALUE...]",
             "Writes the fields into the distribution list id=ID.",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.contacts().saveDistributionList(c.item<hxMail::DistributionList>(0), flag));
                 c.out("flag", flag);
             }},
            {"addContactGetRecipient", "FOLDER [FIELD=VALUE...]",
             "Creates a contact and answers it as a recipient.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Recipient> recipient;
                 bool flag = false;
                 c.status(c.contacts().addContactGetRecipient(c.folder(0), c.item<hxMail::Contact>(1),
                                                              c.detail<hxMail::ContactDetail>(1), recipient,
                                                              flag));
                 c.out("recipient", recipient);
                 c.out("flag", flag);
             }},
        });
}

} // namespace hxhost
