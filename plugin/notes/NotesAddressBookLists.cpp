// The list half of the address book: its people and groups as host recipients, whole, by page,
// from a search position or by a full-text filter.
#include "contacts/NotesContact.h"
#include "contacts/NotesDistributionList.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesDocument.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"

#include "Lattice/HTMLEncode.h"

namespace hxMail::hxNotesProvider {

namespace {

constexpr const char* kPeopleAndGroups = "($VIMPeopleAndGroups)";

} // namespace

long NotesAddressBook::getAddressListCount(MailProvider*) {
    ThrowAllErrorsScope throwing;
    long count = 0;
    LNDatabase* db = getDatabase();
    if (db) {
        LNViewFolder view;
        try {
            db->GetViewFolder(kPeopleAndGroups, &view);
            view.Open();
            count = view.GetEntryCount();
            view.Close();
        } catch (LNSTATUS status) {
            reportNotesError(status, ErrorChannel::Silent);
            count = 0;
        }
    }
    return count;
}

void NotesAddressBook::appendRecipient(LNDocument& doc, Lattice::ObjectCollection* entries,
                                       MailProvider* owner) {
    doc.Open();
    Lattice::Ptr<NotesUser> scratch = new NotesUser(owner);
    Lattice::Ptr<NotesDocument> wrapper = new NotesDocument(owner, &doc, this, false);
    hxMail::Recipient* r = loadRecipient(scratch.get(), wrapper.get(), owner);
    if (r && !r->get_smtpAddress().isEmpty() && entries)
        entries->add(Lattice::Data(r, true));
    doc.Close();
}

void NotesAddressBook::getAddressList(Lattice::ObjectCollection* entries, long start, long count,
                                      MailProvider* owner) {
    ThrowAllErrorsScope throwing;
    LNDatabase* db = getDatabase();
    if (db) {
        LNViewFolder view;
        try {
            db->GetViewFolder(kPeopleAndGroups, &view);
            view.Open();
            LNVFNavigator all;
            view.GetEntries(&all);
            // Unsigned, so that a negative start or count reads as past the end.
            const unsigned long total = static_cast<unsigned long>(all.GetEntryCount());
            const unsigned long from = static_cast<unsigned long>(start);
            // A count of 0 asks for no limit: the rest of the book from `start`.
            const unsigned long to = count == 0 ? total : from + static_cast<unsigned long>(count);
            const unsigned long first = from <= total ? from : total;
            const unsigned long end = to <= total ? to : total;
            for (unsigned long i = first; i < end; ++i) {
                const LNVFEntry entry = all[static_cast<LNINT>(i)];
                if (entry.IsNull() || entry.IsCategory())
                    continue;
                LNDocument doc;
                entry.GetDocument(&doc);
                appendRecipient(doc, entries, owner);
            }
            view.Close();
        } catch (LNSTATUS status) {
            reportNotesError(status, ErrorChannel::Silent);
        }
    }
}

void NotesAddressBook::getAddressList(String searchText, long count, long, Lattice::ObjectCollection* entries,
                                      long& start, long&, MailProvider* owner) {
    start = 0;
    ThrowAllErrorsScope throwing;
    LNDatabase* db = getDatabase();
    if (db) {
        LNViewFolder view;
        try {
            db->GetViewFolder(kPeopleAndGroups, &view);
            view.Open();
            if (view.Find(LNString(searchText.data(), searchText.length())) == LNNOERROR) {
                LNVFPosition position;
                view.GetPosition(&position);
                // "12" or "3.2": the leading number is the 1-based top-level entry.
                const String text = position.GetText('.').GetTextPtr();
                const long dot = text.find('.');
                start = (dot >= 0 ? text.left(dot) : text).toLong(1) - 1;
                if (start < 0)
                    start = 0;
            }
            view.Close();
        } catch (LNSTATUS status) {
            reportNotesError(status, ErrorChannel::Silent);
        }
    }
    getAddressList(entries, start, count, owner);
}

Lattice::String NotesAddressBook::filterQuery(const String& filter) {
    // Only the filter's words count for the match, so everything else becomes a blank: no quote,
    // bracket, parenthesis or wildcard of the filter reaches the query, and inside the quotes
    // AND, OR and NOT are plain words.
    const String text = Lattice::HTMLEncode::UTF8ToString8(filter);
    String words;
    bool blank = true;
    for (long i = 0; i < text.length(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool keep =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0;
        if (keep) {
            words += static_cast<char>(c);
            blank = false;
        } else if (!blank) {
            words += ' ';
            blank = true;
        }
    }
    words = words.trimmed();
    if (words.isEmpty())
        return String();
    const String term = "\"" + words + "*\"";
    return "([FullName] CONTAINS " + term + ") OR ([ListName] CONTAINS " + term + ")";
}

long NotesAddressBook::getFilteredRecipients(String filter, Lattice::ObjectCollection* recipients,
                                             MailProvider* owner) {
    const String query = filterQuery(filter);
    if (query.isEmpty())
        return 0;
    ThrowAllErrorsScope throwing;
    LNDatabase* db = getDatabase();
    if (db) {
        LNViewFolder view;
        try {
            db->GetViewFolder(kPeopleAndGroups, &view);
            view.Open();
            LNVFNavigator found;
            view.FTSearch(LNString(query.data(), query.length()), &found);
            for (LNINT i = 0; i < found.GetEntryCount(); ++i) {
                const LNVFEntry entry = found[i];
                if (entry.IsNull() || entry.IsCategory())
                    continue;
                LNDocument doc;
                entry.GetDocument(&doc);
                appendRecipient(doc, recipients, owner);
            }
            view.Close();
        } catch (LNSTATUS status) {
            reportNotesError(status);
        }
    }
    return 0;
}

hxMail::Recipient* NotesAddressBook::loadRecipient(NotesUser* scratch, NotesDocument* document,
                                                   MailProvider* owner) {
    if (!scratch || !scratch->getInfo() || !document)
        return nullptr;
    _UserInfoStruct* info = scratch->getInfo();
    hxMail::Recipient* r = info->recipient;
    const String form = document->getItemString("Form", false);
    if (form == "Group") {
        Lattice::Ptr<NotesDistributionList> list =
            new NotesDistributionList(owner, document->getDocument(), this, false);
        const String name = document->getItemString("ListName", true);
        r->set_smtpAddress(name);
        r->set_emailAddress(name);
        r->set_displayName(name);
        r->set_recipientType(0);
        r->set_displayType(isPersonal ? 2 : 1);
        r->set_id(list->getId());
        return r;
    }
    Lattice::Ptr<NotesContact> contact = new NotesContact(owner, document->getDocument(), this, false);
    String fullName("FullName");
    setNames(document, info, fullName, owner);
    r->set_emailType(document->getItemString("MailSystem", false) == "1" ? "NOTES" : "SMTP");
    String smtp = document->getItemString("InternetAddress", true);
    if (smtp.isEmpty())
        smtp = document->getItemString("MailAddress", true);
    r->set_smtpAddress(smtp);
    r->set_emailAddress(info->loginName);
    r->set_displayName(info->commonName);
    r->set_recipientType(0);
    r->set_displayType(isPersonal ? 3 : 0);
    r->set_id(contact->getId());
    return r;
}

} // namespace hxMail::hxNotesProvider
