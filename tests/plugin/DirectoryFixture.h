// A Domino server "Mail1" with a real directory ("names.nsf" from the directory template), the mail
// file "mail/jdoe.nsf" and Jane Doe's personal address book "pab/jdoe_pab.nsf" (address-book
// template), filled with person and group documents written through the C API.
#pragma once

#include "PluginFixture.h"

#include "notes/admin/templates.h" // the stand-in's database templates

#include <cstring>
#include <map>
#include <vector>

struct PersonDoc {
    std::string fullName; // canonical, e.g. "CN=Jane Doe/O=Acme"
    std::string shortName;
    std::string firstName;
    std::string lastName;
    std::string internetAddress;
    std::string mailAddress;
    std::string mailSystem = "1";
    std::string mailServer = "CN=Mail1/O=Acme";
    std::string mailFile;
    std::string password; // empty: no "HTTPPassword" item
    bool shortNameAsList = false;
};

class DirectoryTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(NSFDbDelete("Mail1!!names.nsf"), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "pab/jdoe_pab.nsf", notes::templates::Kind::AddressBook),
                  NOERROR);
    }

    static constexpr const char* kDirectory = "Mail1!!names.nsf";
    static constexpr const char* kPersonal = "Mail1!!pab/jdoe_pab.nsf";

    // A person with a full name and, when given, an Internet address and mail system.
    static PersonDoc person(const std::string& fullName, const std::string& internetAddress = "",
                            const std::string& mailSystem = "1") {
        PersonDoc p;
        p.fullName = fullName;
        p.internetAddress = internetAddress;
        p.mailSystem = mailSystem;
        return p;
    }

    // Jane Doe, the user of most tests, with the mail file and address book above.
    static PersonDoc jane() {
        PersonDoc p;
        p.fullName = "CN=Jane Doe/O=Acme";
        p.shortName = "jdoe";
        p.firstName = "Jane";
        p.lastName = "Doe";
        p.internetAddress = "jane.doe@acme.example";
        p.mailFile = "mail\\jdoe";
        p.password = "demo-password";
        return p;
    }

    // Jane's colleague, with a mail file of his own and a password to log in with.
    static PersonDoc john() {
        PersonDoc p;
        p.fullName = "CN=John Smith/O=Acme";
        p.shortName = "jsmith";
        p.firstName = "John";
        p.lastName = "Smith";
        p.internetAddress = "john.smith@acme.example";
        p.mailFile = "mail\\jsmith";
        p.password = "john-password";
        return p;
    }

    static std::string digest(const std::string& password) {
        static std::map<std::string, std::string> made; // Argon2 is slow on purpose; make each once
        auto it = made.find(password);
        if (it != made.end())
            return it->second;
        BYTE out[SEC_DIGEST_SIZE] = {};
        WORD length = 0;
        EXPECT_EQ(SECHashPassword(static_cast<WORD>(password.size()),
                                  reinterpret_cast<const BYTE*>(password.data()), sizeof out, &length, out, 0,
                                  nullptr),
                  NOERROR);
        return made[password] = std::string(reinterpret_cast<const char*>(out), length);
    }

    using Items = std::vector<std::pair<std::string, std::vector<std::string>>>;

    // A document of `items` (one value: text; several, or a name starting with '*': text list).
    std::string addDoc(const char* db, const Items& items) {
        DBHANDLE hDb = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen(db, &hDb), NOERROR) << db;
        NOTEHANDLE h = NULLHANDLE;
        EXPECT_EQ(NSFNoteCreate(hDb, &h), NOERROR);
        for (const auto& [rawName, values] : items) {
            const bool list = values.size() != 1 || rawName[0] == '*';
            const std::string name = rawName[0] == '*' ? rawName.substr(1) : rawName;
            const std::string v = list ? textList(values) : values.front();
            EXPECT_EQ(NSFItemAppend(h, ITEM_SUMMARY, name.c_str(), static_cast<WORD>(name.size()),
                                    list ? TYPE_TEXT_LIST : TYPE_TEXT, v.data(),
                                    static_cast<DWORD>(v.size())),
                      NOERROR)
                << name;
        }
        EXPECT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        ORIGINATORID oid{};
        NOTEID id = 0;
        NSFNoteGetInfo(h, _NOTE_ID, &id);
        NSFDbGetNoteInfo(hDb, id, &oid, nullptr, nullptr);
        NSFNoteClose(h);
        NSFDbClose(hDb);
        char unid[33];
        std::snprintf(unid, sizeof unid, "%08X%08X%08X%08X", static_cast<unsigned>(oid.File.Innards[1]),
                      static_cast<unsigned>(oid.File.Innards[0]), static_cast<unsigned>(oid.Note.Innards[1]),
                      static_cast<unsigned>(oid.Note.Innards[0]));
        return unid;
    }

    std::string addPerson(const char* db, const PersonDoc& p) {
        const std::string common = p.fullName.substr(3, p.fullName.find('/') - 3);
        Items items{{"Form", {"Person"}}, {"FullName", {p.fullName, common}}};
        auto add = [&](const char* name, const std::string& value) {
            if (!value.empty())
                items.push_back({name, {value}});
        };
        if (p.shortNameAsList)
            items.push_back({"ShortName", {p.shortName, p.shortName + "2"}});
        else
            add("ShortName", p.shortName);
        add("FirstName", p.firstName);
        add("LastName", p.lastName);
        add("InternetAddress", p.internetAddress);
        add("MailAddress", p.mailAddress);
        add("MailSystem", p.mailSystem);
        add("MailServer", p.mailServer);
        add("MailFile", p.mailFile);
        if (!p.password.empty())
            add("HTTPPassword", digest(p.password));
        return addDoc(db, items);
    }

    std::string addGroup(const char* db, const std::string& name, const std::vector<std::string>& members) {
        return addDoc(db, {{"Form", {"Group"}},
                           {"ListName", {name}},
                           {"GroupType", {"1"}},
                           {"*Members", members.empty() ? std::vector<std::string>{} : members}});
    }
};
