// vCard text and the host contact model: what applications write, what we write, and the round
// trips between the two.
#include "ContactFields.h"
#include "hxMailConversion/VCard.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace hxMailConversion::vcard;
using hxMail::Contact;
using hxMail::ContactDetail;

namespace {

std::string card(const std::string& body, const std::string& version = "4.0") {
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n";
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Lattice::Ptr<Contact> reimport(const Contact& contact) {
    const std::string text = write(fromContact(contact, *contact.get_contactDetail()));
    const auto cards = parse(text);
    EXPECT_EQ(cards.size(), 1u) << text;
    return cards.empty() ? Lattice::Ptr<Contact>(new Contact()) : toContact(cards.front());
}

// The members every listed item has (id, subject, dates, flags): no part of a card.
bool notContactData(const std::string& path) {
    static const std::set<std::string> itemMembers = [] {
        std::set<std::string> names;
        for (const Lattice::String& name : hxMail::MessageItem().memberNames())
            names.insert(name.str());
        return names;
    }();
    return itemMembers.count(path.substr(path.rfind('.') + 1)) > 0;
}

} // namespace

TEST(VCardSyntax, PropertiesAsApplicationsWriteThem) {
    struct Case {
        std::string what;
        std::string text; // a whole card or a card body
        std::string version;
        std::string name;
        std::string expected; // text() of the first property called `name`
    };
    const Case cases[] = {
        {"folded with a blank", card("NOTE:one two \r\n three\r\n"), "", "NOTE", "one two three"},
        {"folded with a tab", card("NOTE:ab\r\n\tcd\r\n"), "", "NOTE", "abcd"},
        {"LF line ends", "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\n folded\nEND:VCARD\n", "", "FN", "Annfolded"},
        {"CR line ends", "BEGIN:VCARD\rVERSION:3.0\rFN:Ann\rEND:VCARD", "", "FN", "Ann"},
        {"escapes", card("NOTE:a\\nb\\Nc\\,d\\;e\\\\f\\:g\\xh\r\n"), "", "NOTE", "a\nb\nc,d;e\\f:g\\xh"},
        {"quoted-printable, soft breaks, UTF-8",
         card("NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Z=C3=BC=\r\nrich=0D=0Aline 2\r\n", "2.1"), "",
         "NOTE", "Z\xC3\xBCrich\nline 2"},
        {"quoted-printable, bare encoding, Windows-1252",
         card("FN;QUOTED-PRINTABLE;CHARSET=windows-1252:Andr=E9 =80\r\n", "2.1"), "", "FN",
         "Andr\xC3\xA9 \xE2\x82\xAC"},
        {"ISO-8859-1 without encoding", card("FN;CHARSET=ISO-8859-1:Jos\xE9\r\n", "3.0"), "", "FN",
         "Jos\xC3\xA9"},
        {"stray bytes without a charset read as Windows-1252", card("FN:Jos\xE9\r\n"), "", "FN",
         "Jos\xC3\xA9"},
        {"byte order mark", "\xEF\xBB\xBF" + card("FN:Ann\r\n"), "", "FN", "Ann"},
        {"2.1 commas are text", card("NOTE:a,b\\,c\r\n", "2.1"), "", "NOTE", "a,b,c"},
        {"group and lower-case name", card("item1.email;type=INTERNET:a@b.example\r\n"), "", "EMAIL",
         "a@b.example"},
        {"colon inside a quoted parameter", card("ADR;LABEL=\"x: y; z\":;;street;;;;\r\n"), "", "ADR",
         ";;street;;;;"},
    };
    for (const Case& c : cases) {
        std::vector<Card> cards;
        ASSERT_NO_THROW(cards = parse(c.text)) << c.what;
        ASSERT_EQ(cards.size(), 1u) << c.what;
        const Property* p = cards[0].find(c.name);
        ASSERT_NE(p, nullptr) << c.what;
        EXPECT_EQ(p->text(), c.expected) << c.what;
    }
}

TEST(VCardSyntax, ParametersGroupsAndComponents) {
    const auto cards = parse(card("item2.TEL;HOME;type=voice;TYPE=\"cell,pref\":+1 555\r\n"
                                  "ADR;LABEL=\"Line ^'1^'^nLine 2^^\";PREF=3:;;Main St\\, 1,Apt 2;City;;;\r\n"
                                  "EMAIL;PREF=0:a@x\r\nEMAIL;PREF=abc:b@x\r\n"));
    ASSERT_EQ(cards.size(), 1u);
    const Property& tel = cards[0].properties[0];
    EXPECT_EQ(tel.group, "item2");
    for (const char* type : {"home", "VOICE", "cell", "pref"})
        EXPECT_TRUE(tel.hasType(type)) << type;
    EXPECT_FALSE(tel.hasType("work"));
    EXPECT_EQ(tel.pref(), 1);
    const Property& adr = cards[0].properties[1];
    EXPECT_EQ(adr.param("label")->values.front(), "Line \"1\"\nLine 2^");
    EXPECT_EQ(adr.pref(), 3);
    const auto parts = adr.components();
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts[2], (std::vector<std::string>{"Main St, 1", "Apt 2"}));
    EXPECT_EQ(parts[3], std::vector<std::string>{"City"});
    EXPECT_EQ(cards[0].properties[2].pref(), 100) << "PREF outside 1..100";
    EXPECT_EQ(cards[0].properties[3].pref(), 100);
    EXPECT_TRUE(parse("").empty());
    EXPECT_EQ(parse(card("FN:A\r\n") + "\r\n  \r\n" + card("FN:B\r\n", "3.0")).size(), 2u);
}

TEST(VCardSyntax, BadInputIsRefusedWithItsLine) {
    struct Case {
        std::string text;
        std::size_t line;
        std::string message;
    };
    const Case cases[] = {
        {"FN:Ann\r\n", 1, "outside BEGIN:VCARD"},
        {"BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\n", 1, "no END:VCARD"},
        {"BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n", 1, "no VERSION"},
        {"BEGIN:VCARD\r\nVERSION:5.0\r\nEND:VCARD\r\n", 2, "unknown vCard version"},
        {card("FN Ann\r\n"), 3, "no ':'"},
        {card("F N:Ann\r\n"), 3, "malformed property name"},
        {card(".FN:Ann\r\n"), 3, "malformed group name"},
        {card("TEL;TYPE=\"home:+1\r\n"), 3, "no ':'"},
        {card("TEL;TYPE=\"home\"x:+1\r\n"), 3, "after its closing quote"},
        {card("TEL;T YPE=home:+1\r\n"), 3, "malformed parameter"},
        {"BEGIN:VCARD\r\nVERSION:4.0\r\nBEGIN:VCARD\r\n", 3, "inside the card begun on line 1"},
        {card("FN:Ann\r\n").replace(card("FN:Ann\r\n").find("END:VCARD"), 9, "END:VCALENDAR"), 4,
         "where END:VCARD belongs"},
        {std::string(kMaxInput + 1, ' '), 0, "larger than 16 MB"},
    };
    for (const Case& c : cases) {
        try {
            parse(c.text);
            ADD_FAILURE() << c.message << ": accepted";
        } catch (const ParseError& e) {
            EXPECT_EQ(e.line(), c.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(VCardWriter, FoldsAt75OctetsWithoutSplittingCharacters) {
    Card c;
    std::string note;
    for (int i = 0; i < 40; ++i)
        note += "\xE6\x97\xA5\xE6\x9C\xAC x\xC3\xA9, "; // three- and two-octet characters, commas
    c.properties.push_back({"", "NOTE", {}, escape(note)});
    c.properties.push_back({"g1", "X-LABEL", {{"X-P", {"a\"b", "line\nbreak", "semi;colon", "plain"}}}, "v"});
    const std::string text = write(c);

    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends with CRLF";
        EXPECT_LE(end - pos, 75u);
        EXPECT_NE(static_cast<unsigned char>(text[pos]) & 0xC0, 0x80u) << "a line starts inside a character";
        if (pos + 1 < end && text[pos] == ' ') {
            EXPECT_NE(static_cast<unsigned char>(text[pos + 1]) & 0xC0, 0x80u);
        }
        pos = end + 2;
    }
    EXPECT_NE(text.find("X-P=a^'b,line^nbreak,\"semi;colon\",plain:v"), std::string::npos) << text;

    const auto back = parse(text);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].version, "4.0");
    EXPECT_EQ(back[0].find("NOTE")->text(), note);
    const Property* label = back[0].find("X-LABEL");
    EXPECT_EQ(label->group, "g1");
    EXPECT_EQ(label->param("X-P")->values,
              (std::vector<std::string>{"a\"b", "line\nbreak", "semi;colon", "plain"}));
}

// Three cards as address-book applications write them: each field the model has must arrive, and
// what has no place in the model is named.
TEST(VCardContacts, SamplesFromApplicationsKeepEveryFieldTheModelHolds) {
    struct Sample {
        std::string file;
        std::size_t index;
        std::map<std::string, std::string> fields;
        std::vector<std::string> left;
    };
    const Sample samples[] = {
        {"perreault.vcf",
         0,
         {{"contactDetail.displayName", "Simon Perreault"},
          {"contactDetail.last", "Perreault"},
          {"contactDetail.first", "Simon"},
          {"contactDetail.suffix", "ing. jr M.Sc."},
          {"fileAsName", "Perreault, Simon"},
          {"contactDetail.nickname", "nomis80"},
          {"contactDetail.company", "Viagenie"},
          {"contactDetail.department", "Recherche et d\xC3\xA9veloppement"},
          {"contactDetail.jobTitle", "Chercheur principal"},
          {"contactDetail.profession", "Architecte r\xC3\xA9seau"},
          {"businessAddress.street", "2875 Laurier\nSuite D2-630"},
          {"businessAddress.city", "Qu\xC3\xA9"
                                   "bec"},
          {"businessAddress.postalCode", "G1V 2M2"},
          {"businessAddress.fullAddress", "2875 boul. Laurier, suite D2-630\nQu\xC3\xA9"
                                          "bec (Qu\xC3\xA9"
                                          "bec)\nG1V 2M2, Canada"},
          {"homeAddress.street", "1280 avenue des \xC3\x89rables"},
          {"homeAddress.fullAddress", "1280 avenue des \xC3\x89rables\nL\xC3\xA9vis, QC G6V 4Z9\nCanada"},
          {"contactDetail.selectedMailingAddress", "1"},
          {"businessPhone", "+1-418-656-9254;ext=102"},
          {"mobile", "+1-418-262-6501"},
          {"homePhone", "+1-418-555-0147"},
          {"businessFax", "+1-418-656-9257"},
          {"eMail1", "simon@nomis80.org"},
          {"eMail2", "simon.perreault@viagenie.ca"},
          {"contactDetail.webPage", "http://nomis80.org"},
          {"contactDetail.IMAddress", "xmpp:simon@nomis80.org"},
          {"contactDetail.spouse", "Marie-\xC3\x88ve Tremblay"},
          {"contactDetail.body", "Rencontr\xC3\xA9 \xC3\xA0 l'IETF 80 \xC3\xA0 Prague, groupe de travail "
                                 "vCardDAV.\nA \xC3\xA9"
                                 "crit la partie sur les extensions de "
                                 "param\xC3\xA8tres; \xC3\xA0 recontacter pour la suite du brouillon."}},
         {"BDAY", "ANNIVERSARY", "GENDER", "LANG", "LANG", "GEO", "KEY", "TZ"}},
        {"mueller.vcf",
         0,
         {{"contactDetail.displayName", "Dr. Zo\xC3\xAB Anna M\xC3\xBCller-L\xC3\xBC"
                                        "denscheidt"},
          {"contactDetail.title", "Dr."},
          {"contactDetail.middle", "Anna"},
          {"fileAsName", "M\xC3\xBCller-L\xC3\xBC"
                         "denscheidt, Zo\xC3\xAB Anna"},
          {"contactDetail.company", "Gr\xC3\xBCn & S\xC3\xB6hne GmbH"},
          {"contactDetail.department", "Forschung, Entwicklung"},
          {"eMail1", "zoe@gruen-soehne.example"},
          {"eMail3", "z.m@alumni.example"},
          {"mobile", "+49 170 1234567"},
          {"businessPhone", "+49 30 1234-0"},
          {"businessFax", "+49 30 1234-99"},
          {"companyPhone", "+49 30 1234-100"},
          {"otherPhone", "+49 30 5550101"},
          {"businessAddress.street", "Friedrichstra\xC3\x9F"
                                     "e 100\nAufgang B, 4. OG"},
          {"homeAddress.postalCode", "10435"},
          {"contactDetail.selectedMailingAddress", "1"},
          {"contactDetail.webPage", "https://gruen-soehne.example/team/zoe"},
          {"contactDetail.spouse", "Jonas M\xC3\xBCller"},
          {"contactDetail.assistant", "Petra Schmidt"},
          {"contactDetail.IMAddress", "xmpp:zoe@jabber.example"},
          {"contactDetail.body", "Bevorzugt Termine vormittags.\nSpricht Deutsch, Englisch und "
                                 "Franz\xC3\xB6sisch."}},
         {"EMAIL", "X-SOCIALPROFILE", "BDAY", "CATEGORIES"}},
        {"zolkiewski.vcf",
         0,
         {{"contactDetail.displayName", "\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82kiewski"},
          {"contactDetail.last", "\xC5\xBB\xC3\xB3\xC5\x82kiewski"},
          {"contactDetail.company", "Kowalski & Partners, Sp. z o.o."},
          {"contactDetail.department", "Sprzeda\xC5\xBC"},
          {"businessPhone", "+48 22 123 45 67"},
          {"contactDetail.business2Phone", "+48 22 123 45 68"},
          {"contactDetail.pager", "+48 22 999 00 11"},
          {"carPhone", "+48 602 000 111"},
          {"contactDetail.isdn", "+48 22 123 45 90"},
          {"businessAddress.street", "ul. Marsza\xC5\x82kowska 1\nPi\xC4\x99tro 3"},
          {"businessAddress.state", "mazowieckie"},
          {"businessAddress.fullAddress",
           "ul. Marsza\xC5\x82kowska 1\nPi\xC4\x99tro 3\n00-624 Warszawa\nPolska"},
          {"homeAddress.city", "Krak\xC3\xB3w"},
          {"contactDetail.selectedMailingAddress", "2"},
          {"eMail1", "lukasz@kowalski.example"},
          {"contactDetail.manager", "Anna Kowalska"},
          {"contactDetail.assistant", "Ewa Nowak"},
          {"contactDetail.body", "Spotkanie w pi\xC4\x85tek.\nProsz\xC4\x99 o potwierdzenie, "
                                 "dzi\xC4\x99kuj\xC4\x99."}},
         {"X-MS-OL-DEFAULT-POSTAL-ADDRESS"}},
        {"zolkiewski.vcf",
         1,
         {{"contactDetail.displayName", "\xE7\x94\xB0\xE4\xB8\xAD \xE5\xAE\x8F"},
          {"fileAsName", "Tanaka, Hiroshi"},
          {"homePhone", "03-1234-5678"}},
         {}},
    };
    for (const Sample& s : samples) {
        const auto cards = parse(slurp(HX_FIXTURES "/" + s.file));
        ASSERT_GT(cards.size(), s.index) << s.file;
        std::vector<std::string> left;
        const auto contact = toContact(cards[s.index], &left);
        const auto fields = fieldsOf(*contact);
        for (const auto& [path, value] : s.fields) {
            ASSERT_TRUE(fields.count(path)) << path;
            EXPECT_EQ(fields.at(path), value) << s.file << ": " << path;
        }
        EXPECT_EQ(left, s.left) << s.file;
        EXPECT_EQ(fieldsOf(*reimport(*contact)), fields) << s.file << ": model -> vCard -> model";
    }
}

// Every text the model holds, with the characters vCard gives a meaning, survives the way out and
// back; members added to the model later fail here until they get a place in the card.
TEST(VCardContacts, EveryModelFieldRoundTrips) {
    const std::string awkward = ", ; : \\ \" ^ \n \xC3\xA9\xE6\x97\xA5 ";
    for (long selected : {0L, 1L, 2L, 3L}) {
        Lattice::Ptr<Contact> contact(new Contact());
        contact->set_contactDetail(Lattice::Ptr<ContactDetail>(new ContactDetail()));
        std::size_t n = 0;
        for (const auto& [path, value] : fieldsOf(*contact)) {
            if (notContactData(path) || path == "contactDetail.selectedMailingAddress")
                continue;
            ASSERT_TRUE(contact->setMemberByPath(
                path.c_str(), Lattice::Data(Lattice::String(path + awkward + std::to_string(++n))), false))
                << path;
        }
        contact->get_contactDetail()->set_selectedMailingAddress(selected);
        auto before = fieldsOf(*contact);
        auto after = fieldsOf(*reimport(*contact));
        for (auto* fields : {&before, &after})
            std::erase_if(*fields, [](const auto& f) { return notContactData(f.first); });
        EXPECT_EQ(after, before) << "selected address " << selected;
    }
}

TEST(VCardContacts, EmptyAndPartlyFilledContactsRoundTrip) {
    struct Case {
        std::string what;
        std::map<std::string, std::string> set;
    };
    const Case cases[] = {
        {"nothing at all", {}},
        {"a file-as name cleared although names exist",
         {{"contactDetail.first", "Ann"},
          {"contactDetail.last", "Lee"},
          {"contactDetail.displayName", "Ann Lee"}}},
        {"a full address that is not its parts",
         {{"homeAddress.street", "1 Main St"}, {"homeAddress.fullAddress", ""}}},
        {"the selected address is empty", {{"contactDetail.selectedMailingAddress", "3"}}},
        {"only an e-mail's display name", {{"contactDetail.email1Display", "Ann (home)"}}},
        {"a phone that looks like a URI", {{"homePhone", "tel:+1-555"}}},
    };
    for (const Case& c : cases) {
        Lattice::Ptr<Contact> contact(new Contact());
        contact->set_contactDetail(Lattice::Ptr<ContactDetail>(new ContactDetail()));
        for (const auto& [path, value] : c.set)
            contact->setMemberByPath(path.c_str(),
                                     path.ends_with("selectedMailingAddress")
                                         ? Lattice::Data(std::stol(value))
                                         : Lattice::Data(Lattice::String(value)),
                                     false);
        const auto once = reimport(*contact);
        auto before = fieldsOf(*contact);
        auto after = fieldsOf(*once);
        // The host names a contact without a display name by its parts, as the card's FN must.
        if (before["contactDetail.displayName"].empty())
            before["contactDetail.displayName"] = after["contactDetail.displayName"];
        EXPECT_EQ(after, before) << c.what;
        EXPECT_EQ(fieldsOf(*reimport(*once)), after) << c.what << ": a second round changes nothing";
    }
}

// Where the card's phones, e-mails and addresses go when the model has fewer slots than the card.
TEST(VCardContacts, CardInstancesFillTheModelsSlots) {
    struct Case {
        std::string body;
        std::map<std::string, std::string> fields;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"TEL;TYPE=home:1\r\nTEL;TYPE=home:2\r\nTEL;TYPE=home:3\r\nTEL;TYPE=home:4\r\n",
         {{"homePhone", "1"}, {"contactDetail.home2Phone", "2"}, {"otherPhone", "3"}},
         {"TEL"}},
        {"TEL;TYPE=fax:1\r\nTEL;TYPE=fax,home:2\r\nTEL;TYPE=fax:3\r\n",
         {{"contactDetail.otherFax", "1"}, {"homeFax", "2"}, {"otherPhone", "3"}},
         {}},
        {"TEL;TYPE=work,cell:1\r\nTEL;TYPE=pref:2\r\nTEL:3\r\nTEL;TYPE=textphone:4\r\nTEL;TYPE=x-callback:"
         "5\r\n",
         {{"mobile", "1"},
          {"contactDetail.primaryPhone", "2"},
          {"otherPhone", "3"},
          {"contactDetail.ttyttd", "4"},
          {"contactDetail.callback", "5"}},
         {}},
        {"EMAIL:a\r\nEMAIL;PREF=2:b\r\nEMAIL;PREF=1:c\r\nEMAIL:d\r\n",
         {{"eMail1", "c"}, {"eMail2", "b"}, {"eMail3", "a"}},
         {"EMAIL"}},
        {"ADR;TYPE=work:;;1;;;;\r\nADR;TYPE=work;PREF=2:;;2;;;;\r\nADR;TYPE=home:;;3;;;;\r\nADR:;;4;;;;\r\n",
         {{"businessAddress.street", "1"},
          {"contactDetail.otherAddress.street", "2"},
          {"homeAddress.street", "3"},
          {"contactDetail.selectedMailingAddress", "3"}},
         {"ADR"}},
        {"ADR;TYPE=home:Box 7;Apt 2;1 Main St;City;;;\r\nLABEL;TYPE=home:Formatted\r\n",
         {{"homeAddress.street", "1 Main St\nApt 2\nBox 7"}, {"homeAddress.fullAddress", "Formatted"}},
         {}},
        {"FN:\r\nN:Lee;Ann;;;\r\nX-EVOLUTION-FILE-AS:Ann "
         "L.\r\nIMPP:a\r\nX-JABBER:b\r\nRELATED;TYPE=friend:c\r\n",
         {{"contactDetail.displayName", "Ann Lee"},
          {"fileAsName", "Ann L."},
          {"contactDetail.IMAddress", "a"}},
         {"X-JABBER", "RELATED"}},
        {"EMAIL:ann@example.org\r\n", {{"contactDetail.displayName", "ann@example.org"}}, {}},
        // Empty instances hold nothing and take no slot.
        {"TEL;TYPE=home:\r\nTEL;TYPE=home:2\r\nTEL;VALUE=uri:tel:\r\nEMAIL:\r\nEMAIL:b\r\nTITLE:\r\nTITLE:"
         "Boss\r\n"
         "ADR;TYPE=home:;;;;;;\r\nADR;TYPE=home:;;Main St;;;;\r\n",
         {{"homePhone", "2"},
          {"eMail1", "b"},
          {"contactDetail.jobTitle", "Boss"},
          {"homeAddress.street", "Main St"}},
         {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> left;
        const auto contact = toContact(parse(card(c.body)).front(), &left);
        const auto fields = fieldsOf(*contact);
        for (const auto& [path, value] : c.fields)
            EXPECT_EQ(fields.at(path), value) << c.body << path;
        EXPECT_EQ(left, c.left) << c.body;
        EXPECT_EQ(fieldsOf(*reimport(*contact)), fields) << c.body;
    }
}
