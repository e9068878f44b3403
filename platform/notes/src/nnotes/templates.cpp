// Database templates: the design (forms, views) a new directory, address book or mail file gets.
#include "templates.h"
#include "acl.h"
#include "runtime.h"

#include <functional>

namespace notes::templates {
namespace {

struct FormDesign {
    const char* name;
    std::vector<std::string> fields;
};

// A person is a directory entry and a contact at once: the address book's contact items (names,
// job, three addresses, phones, notes) sit beside the mail items.
const FormDesign kPerson{"Person",
                         {"FullName",
                          "ShortName",
                          "FirstName",
                          "MiddleInitial",
                          "LastName",
                          "InternetAddress",
                          "MailAddress",
                          "MailSystem",
                          "MailServer",
                          "MailDomain",
                          "MailFile",
                          "HTTPPassword",
                          "Type",
                          "Title",
                          "Suffix",
                          "JobTitle",
                          "CompanyName",
                          "Department",
                          "Office",
                          "Profession",
                          "NickName",
                          "Spouse",
                          "Manager",
                          "Assistant",
                          "WebSite",
                          "IMAddress",
                          "Email1Display",
                          "Email2Display",
                          "Email3Display",
                          "MiscPhone1",
                          "MiscPhone2",
                          "StreetAddress",
                          "City",
                          "State",
                          "Zip",
                          "Country",
                          "OfficeStreetAddress",
                          "OfficeCity",
                          "OfficeState",
                          "OfficeZip",
                          "OfficeCountry",
                          "OtherStreet",
                          "OtherCity",
                          "OtherState",
                          "OtherZip",
                          "OtherCountry",
                          "PhoneNumber",
                          "OfficePhone",
                          "PersPager",
                          "OfficeFax",
                          "HomeFAXPhoneNumber",
                          "CarPhone",
                          "CompanyPhone",
                          "OtherPhone",
                          "PhoneNumber_6",
                          "Isdn",
                          "Radio",
                          "PrimaryPhone",
                          "OtherFax",
                          "Home2Phone",
                          "Telex",
                          "Ttyttd",
                          "AssistantPhone",
                          "Business2Phone",
                          "Callback",
                          "Comment",
                          "selectedMailingAddress"}};
const FormDesign kGroup{"Group", {"ListName", "ListDescription", "GroupType", "Members"}};

ViewColumn column(const char* title, std::vector<std::string> items, DWORD flags) {
    ViewColumn c;
    c.title = title;
    c.items = std::move(items);
    c.flags = flags;
    return c;
}

ViewDesign view(const char* title, std::vector<ViewColumn> columns) {
    ViewDesign d;
    d.title = title;
    d.forms = {"Person", "Group"};
    d.columns = std::move(columns);
    return d;
}

// One entry per lookup key of a person or group; keys compare ignoring case. A personal contact
// often has only "MailAddress", so the address book finds people by it too.
ViewDesign usersView(bool personal = false) {
    std::vector<std::string> keys{"FullName", "ShortName", "InternetAddress", "ListName"};
    if (personal)
        keys.push_back("MailAddress");
    return view("($Users)", {column("Name", std::move(keys), kColSorted | kColSeparateEntries)});
}

// People and groups in name order.
ViewDesign peopleAndGroupsView(const char* title) {
    return view(title,
                {column("Name", {"FullName", "ListName"},
                        kColSorted | kColCommonName | kColResortAscending | kColResortDescending),
                 column("InternetAddress", {"InternetAddress"}, kColResortAscending | kColResortDescending)});
}

// ---- mail file --------------------------------------------------------------------------------
// Collations are numbered in column order, ascending before descending, after collation 0 (the
// view's own sort); the columns below give the numbers of the collation table (templates.h).
// Columns the plug-in may make resortable later ("Subject") or append ("Size", "Importance") sit
// after every resortable column, so the numbers it relies on never move.
const char* const kSizeFormula =
    "@If(@IsDocTruncated;@If(@TextToNumber(@Version) < 172; @DocLength;@DocOmittedLength + "
    "@DocLength);@DocLength)";

ViewColumn formulaColumn(const char* title, const char* formula, DWORD flags) {
    ViewColumn c;
    c.title = title;
    c.formula = formula;
    c.flags = flags;
    return c;
}

ViewDesign mailView(const char* title, std::vector<std::string> forms, std::vector<ViewColumn> columns) {
    ViewDesign d;
    d.title = title;
    d.forms = std::move(forms);
    d.columns = std::move(columns);
    return d;
}

constexpr DWORD kBoth = kColResortAscending | kColResortDescending;

std::vector<ViewDesign> mailViews() {
    std::vector<ViewDesign> out;
    // Folder: members are put in when mail is delivered; "Subject" is resortable once the plug-in
    // makes it so.
    ViewDesign inbox = mailView(
        "($Inbox)", {},
        {column("Importance", {"Importance"}, kColResortAscending),
         column("Who", {"From"}, kColCommonName | kBoth), column("Sent", {"PostedDate"}, kColResortAscending),
         column("Date", {"DeliveredDate", "PostedDate"}, kColSorted | kColResortAscending),
         formulaColumn("Size", kSizeFormula, kColResortAscending), column("Subject", {"Subject"}, 0)});
    inbox.folder = true;
    out.push_back(std::move(inbox));
    // Never posted nor delivered. "Subject" is resortable from the start so that an appended "Size"
    // gets the same number whichever of the two the plug-in asks for first.
    ViewDesign drafts =
        mailView("($Drafts)", {"Memo", "Reply"},
                 {column("Importance", {"Importance"}, kColResortAscending),
                  column("To", {"SendTo"}, kColCommonName | kColResortAscending),
                  formulaColumn("Date", "@Created", kColSorted | kColDescending | kColResortAscending),
                  column("Subject", {"Subject"}, kColResortAscending)});
    drafts.notItems = {"PostedDate", "DeliveredDate"};
    out.push_back(std::move(drafts));
    // Posted by this user (mail delivered to the user has "DeliveredDate" too).
    ViewDesign sent = mailView("($Sent)", {"Memo", "Reply"},
                               {column("Importance", {"Importance"}, kColResortAscending),
                                column("To", {"SendTo"}, kColCommonName | kBoth),
                                column("Date", {"PostedDate"}, kColSorted | kColResortAscending),
                                formulaColumn("Size", kSizeFormula, kColResortAscending),
                                column("Subject", {"Subject"}, 0)});
    sent.items = {"PostedDate"};
    sent.notItems = {"DeliveredDate"};
    out.push_back(std::move(sent));
    // Tasks; "Importance" is appended by the plug-in.
    out.push_back(mailView("($ToDo)", {"Task"},
                           {column("Subject", {"Subject"}, kColResortAscending),
                            column("Due", {"DueDate", "DueDateTime"}, kColSorted | kColResortAscending),
                            column("Complete", {"CompletedDate"}, kColResortAscending),
                            column("Start", {"StartDate"}, kColResortAscending),
                            column("Status", {"DueState"}, kColResortAscending)}));
    out.push_back(mailView("($Calendar)", {"Appointment"},
                           {column("Start", {"CalendarDateTime", "StartDateTime"}, kColSorted),
                            column("End", {"EndDateTime"}, 0), column("Subject", {"Subject"}, 0),
                            column("Type", {"AppointmentType"}, 0)}));
    // Every mail document, newest last.
    out.push_back(mailView("($All)", {"Memo", "Reply", "Task", "Appointment", "Notice"},
                           {column("Who", {"From"}, kColCommonName | kBoth),
                            column("Date", {"DeliveredDate", "PostedDate"}, kColSorted | kColResortAscending),
                            formulaColumn("Size", kSizeFormula, kColResortAscending),
                            column("Subject", {"Subject"}, kColResortAscending)}));
    return out;
}

const FormDesign kMemo{"Memo",
                       {"From", "SendTo", "CopyTo", "BlindCopyTo", "Subject", "Body", "PostedDate",
                        "DeliveredDate", "Importance", "ReturnReceipt", "DeliveryReport", "MoodStamp"}};
const FormDesign kReply{"Reply", kMemo.fields};
const FormDesign kTask{"Task",
                       {"From", "Subject", "Body", "StartDate", "DueDate", "DueDateTime", "CompletedDate",
                        "DueState", "Importance"}};
const FormDesign kAppointment{"Appointment",
                              {"Subject", "Body", "StartDateTime", "EndDateTime", "AppointmentType",
                               "Location", "Chair", "RequiredAttendees", "OptionalAttendees"}};

std::vector<FormDesign> forms(Kind kind) {
    switch (kind) {
    case Kind::Directory:
    case Kind::AddressBook:
        return {kPerson, kGroup};
    case Kind::Mail:
        return {kMemo, kReply, kTask, kAppointment};
    }
    return {};
}

std::vector<ViewDesign> views(Kind kind) {
    switch (kind) {
    case Kind::Directory:
        return {usersView(), peopleAndGroupsView("($VIMPeopleAndGroups)")};
    case Kind::AddressBook:
        return {usersView(true), peopleAndGroupsView("($VIMPeopleAndGroups)"),
                peopleAndGroupsView("($PeopleGroupsFlat)")};
    case Kind::Mail:
        return mailViews();
    }
    return {};
}

// Saves a design note, replacing the one of the same class and name.
STATUS saveDesign(Database& db, WORD noteClass, const std::string& name,
                  const std::function<void(Note*)>& fill) {
    Note note;
    NOTEID existing = 0;
    if (db.findDesign(noteClass, name, &existing) == NOERROR) {
        if (STATUS s = db.load(existing, &note); s != NOERROR) {
            return s;
        }
    }
    note.info.noteClass = noteClass;
    fill(&note);
    return db.save(note);
}

} // namespace

bool kindFromName(std::string_view name, Kind* out) {
    for (Kind k : {Kind::Directory, Kind::AddressBook, Kind::Mail}) {
        if (nameEquals(name, kindName(k))) {
            *out = k;
            return true;
        }
    }
    return false;
}

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Directory:
        return "names";
    case Kind::AddressBook:
        return "pab";
    case Kind::Mail:
        return "mail";
    }
    return "";
}

STATUS apply(Database& db, Kind kind) {
    for (const FormDesign& f : forms(kind)) {
        if (STATUS s = saveDesign(db, NOTE_CLASS_FORM, f.name,
                                  [&](Note* n) {
                                      n->remove("$TITLE");
                                      n->remove("$Fields");
                                      n->append("$TITLE", TYPE_TEXT, ITEM_SUMMARY, f.name);
                                      n->append("$Fields", TYPE_TEXT_LIST, ITEM_SUMMARY,
                                                ods::encodeTextList(f.fields));
                                  });
            s != NOERROR) {
            return s;
        }
    }
    for (const ViewDesign& v : views(kind)) {
        if (STATUS s = saveDesign(db, NOTE_CLASS_VIEW, v.name(), [&](Note* n) { writeViewDesign(v, n); });
            s != NOERROR) {
            return s;
        }
    }
    // A mail file is its owner's: nobody else reads it until granted (a list kept when re-applied).
    return kind == Kind::Mail ? acl::ensureList(db) : NOERROR;
}

STATUS create(std::string_view server, std::string_view path, Kind kind) {
    std::string file;
    if (STATUS s = resolveDatabaseFile(server, path, false, &file); s != NOERROR) {
        return s;
    }
    const std::string net =
        server.empty() ? std::string(path) : std::string(server) + "!!" + std::string(path);
    if (STATUS s = NSFDbCreate(net.c_str(), DBCLASS_NOTEFILE, 0); s != NOERROR) {
        return s;
    }
    std::shared_ptr<Database> db;
    STATUS s = Database::open(file, std::string(server), std::string(path), &db);
    if (s == NOERROR) {
        s = apply(*db, kind);
    }
    if (s != NOERROR) { // no half-made database stays behind
        db.reset();
        NSFDbDelete(net.c_str());
    }
    return s;
}

} // namespace notes::templates
