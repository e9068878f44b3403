// The plug-in as the host sees it: loaded with dlopen, reached through getMailProviderInterface and
// the framework's class factory only.
#include "PluginFixture.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"
#include "provider/NotesProviderFactory.h"

#include "Lattice/Base.h"

#include <dlfcn.h>

#include <memory>

namespace hx = hxMail::hxNotesProvider;

namespace {

using Entry = hx::NotesProviderFactory* (*)();

Entry pluginEntry() {
    static void* module = dlopen(HX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    return module ? reinterpret_cast<Entry>(dlsym(module, "getMailProviderInterface")) : nullptr;
}

std::unique_ptr<hx::NotesProviderFactory> newFactory() {
    Entry entry = pluginEntry();
    return std::unique_ptr<hx::NotesProviderFactory>(entry ? entry() : nullptr);
}

// Releases a framework object when the test is done with it.
template <class T> struct Held {
    explicit Held(T* p) : object(p) {
        if (object)
            object->addRef();
    }
    ~Held() {
        if (object)
            object->release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T* operator->() const { return object; }
    T* object;
};

hx::MailProvider* asNotes(Lattice::Base* base) {
    return static_cast<hx::MailProvider*>(base);
}

class FrameTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        factory = newFactory();
        ASSERT_NE(factory, nullptr);
    }
    std::unique_ptr<hx::NotesProviderFactory> factory;
};

} // namespace

TEST_F(FrameTest, LoadingRegistersAllTwentyClasses) {
    const char* names[] = {"CalendarProvider", "ContactProvider", "GroupProvider", "MailProvider",
                           "MeetingProvider",  "MessageProvider", "NoteProvider",  "NotesAddressBook",
                           "NotesAppointment", "NotesContact",    "NotesDatabase", "NotesDistributionList",
                           "NotesDocument",    "NotesFolder",     "NotesItem",     "NotesMessage",
                           "NotesNote",        "NotesTask",       "NotesUser",     "TaskProvider"};
    for (const char* name : names) {
        ASSERT_TRUE(Lattice::ClassFactory::isRegistered(name)) << name;
        Held<Lattice::Base> object(Lattice::ClassFactory::create(name));
        ASSERT_NE(object.object, nullptr) << name;
        EXPECT_STREQ(object->className().c_str(), name);
        EXPECT_TRUE(object->inheritsFrom(Lattice::Atom(name))) << name;
    }
    // The plug-in's "MailProvider" replaces the host's own, which has no child providers.
    Held<Lattice::Base> made(Lattice::ClassFactory::create("MailProvider"));
    EXPECT_NE(static_cast<hxMail::MailProvider*>(made.object)->messageProvider(), nullptr);
}

TEST_F(FrameTest, FactoryOperations) {
    auto second = newFactory();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(factory.get(), second.get());
    for (auto* f : {factory.get(), second.get()}) {
        EXPECT_STREQ(f->getTypeName(), "hxNotes");
        EXPECT_STREQ(f->getDisplayName(), "Notes");
        EXPECT_EQ(f->factoryReserved1(42), -1);
        EXPECT_EQ(f->factoryReserved2(), -1);
        EXPECT_EQ(f->factoryReserved3(), 0);
        Held<hxMail::LotusNotesAccount> account(f->createAccount());
        ASSERT_NE(account.object, nullptr);
        EXPECT_STREQ(account->className().c_str(), "LotusNotesAccount");
    }
    Held<hxMail::MailProvider> a(factory->createProvider());
    Held<hxMail::MailProvider> b(second->createProvider());
    ASSERT_NE(a.object, nullptr);
    ASSERT_NE(b.object, nullptr);
    EXPECT_STREQ(a->className().c_str(), "MailProvider");
    // Independent providers, each with its own session.
    EXPECT_NE(asNotes(a.object)->getSession(), asNotes(b.object)->getSession());
}

TEST_F(FrameTest, ChildProvidersBelongToTheirProvider) {
    Held<hxMail::MailProvider> provider(factory->createProvider());
    EXPECT_EQ(provider->noteProvider(), nullptr);
    hxMail::MailChildProvider* children[] = {provider->taskProvider(),     provider->contactProvider(),
                                             provider->calendarProvider(), provider->messageProvider(),
                                             provider->meetingProvider(),  provider->groupProvider()};
    for (auto* child : children) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->owner(), provider.object) << child->className().c_str();
    }
    EXPECT_EQ(provider->taskProvider(), children[0]);
    EXPECT_EQ(provider->groupProvider(), children[5]);
    EXPECT_STREQ(provider->groupProvider()->className().c_str(), "GroupProvider");
    EXPECT_STREQ(provider->messageProvider()->className().c_str(), "MessageProvider");
}

TEST_F(FrameTest, SessionLinesInTheLog) {
    {
        Held<hxMail::MailProvider> provider(factory->createProvider());
        const std::string text = logText();
        EXPECT_EQ(countOf(text, "Notes Session Opened!"), 1);
        EXPECT_EQ(countOf(text, "Notes Session Failed to Open!"), 0);
        EXPECT_EQ(countOf(text, "Notes Session Terminated!"), 0);
        auto* notes = asNotes(provider.object);
        EXPECT_EQ(notes->getServerName(), "Mail1");
        ASSERT_NE(notes->getMailBox(), nullptr);
        EXPECT_EQ(notes->getMailBox()->getDatabasePath(), "mail.box");
        EXPECT_EQ(notes->getMailBox()->getServerName(), "Mail1");
        ASSERT_NE(notes->getDirectory(), nullptr);
        EXPECT_EQ(notes->getDirectory()->getDatabasePath(), "names.nsf");
        EXPECT_FALSE(notes->getDirectory()->isPersonalBook());
        EXPECT_FALSE(notes->getMailBox()->isOpen());
        EXPECT_EQ(notes->getUser(), nullptr);
        EXPECT_TRUE(notes->getShowPreviewDefault());
    }
    EXPECT_EQ(countOf(logText(), "Notes Session Terminated!"), 1);
}

TEST_F(FrameTest, ServerNameFromTheHostSetting) {
    Lattice::Settings::set("notes.server", "CN=Hub/O=Acme");
    Held<hxMail::MailProvider> provider(factory->createProvider());
    Lattice::Settings::remove("notes.server");
    EXPECT_EQ(asNotes(provider.object)->getServerName(), "CN=Hub/O=Acme");
    EXPECT_EQ(asNotes(provider.object)->getMailBox()->getServerName(), "CN=Hub/O=Acme");
}

TEST_F(FrameTest, ProviderWhoseSessionFailed) {
    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    {
        Held<hxMail::MailProvider> provider(factory->createProvider());
        auto* notes = asNotes(provider.object);
        ASSERT_NE(notes->getSession(), nullptr);
        EXPECT_FALSE(notes->getSession()->IsInitialized());
        EXPECT_EQ(notes->getMailBox(), nullptr);
        EXPECT_EQ(notes->getDirectory(), nullptr);
        EXPECT_EQ(countOf(logText(), "Notes Session Failed to Open!"), 1);
        EXPECT_EQ(countOf(logText(), "Notes Session Opened!"), 0);
    }
    EXPECT_EQ(countOf(logText(), "Notes Session Terminated!"), 1);
}

TEST_F(FrameTest, CopyIsAFreshProviderWithoutUser) {
    Held<hxMail::MailProvider> source(factory->createProvider());
    asNotes(source.object)->setUser(static_cast<hx::NotesUser*>(Lattice::ClassFactory::create("NotesUser")));
    ASSERT_NE(asNotes(source.object)->getUser(), nullptr);

    for (bool deep : {false, true}) {
        Held<Lattice::Base> copied(source->copy(deep));
        auto* copy = asNotes(copied.object);
        EXPECT_STREQ(copy->className().c_str(), "MailProvider");
        EXPECT_EQ(copy->getUser(), nullptr);
        ASSERT_NE(copy->getSession(), nullptr);
        EXPECT_NE(copy->getSession(), asNotes(source.object)->getSession());
        EXPECT_TRUE(copy->getSession()->IsInitialized());
        EXPECT_EQ(copy->messageProvider()->owner(), copy);
    }
    EXPECT_EQ(countOf(logText(), "Notes Session Opened!"), 3);
}

TEST_F(FrameTest, OperationsPutBackTheThrowModeTheyFound) {
    Held<hxMail::MailProvider> provider(factory->createProvider());
    for (LNBOOL mode : {FALSE, TRUE}) {
        LNSetThrowAllErrorsGlobal(mode);
        {
            hx::ThrowAllErrorsScope outer;
            EXPECT_TRUE(LNGetThrowAllErrorsGlobal());
            {
                hx::ThrowAllErrorsScope quiet(FALSE);
                EXPECT_FALSE(LNGetThrowAllErrorsGlobal());
            }
            EXPECT_TRUE(LNGetThrowAllErrorsGlobal()) << "a nested scope never switches its caller's mode off";
        }
        EXPECT_EQ(LNGetThrowAllErrorsGlobal(), mode);
        long count = 3;
        provider->getAddressListCount("x", count);
        Lattice::ObjectCollection folders;
        provider->getFolders("", "", &folders);
        EXPECT_EQ(LNGetThrowAllErrorsGlobal(), mode) << "host operations restore the caller's mode too";
    }
    LNSetThrowAllErrorsGlobal(FALSE);
}
