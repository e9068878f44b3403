// A provider made by class name on the fixture's data directory, with a wrapper of the mail file
// "mail/jdoe.nsf" on its server. The tests link the plug-in, which registers its classes at load.
#pragma once

#include "PluginFixture.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesDocument.h"
#include "provider/MailProvider.h"

#include "Lattice/Base.h"

namespace hx = hxMail::hxNotesProvider;

class ProviderTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure())
            return;
        provider = makeProvider();
        ASSERT_NE(provider, nullptr);
        mailFile = new hx::NotesDatabase("CN=Mail1/O=Acme", "mail\\jdoe", provider);
        mailFile->addRef();
    }

    void TearDown() override {
        if (mailFile) {
            mailFile->unlockHandle();
            mailFile->release();
        }
        if (provider)
            provider->release();
        PluginTest::TearDown();
    }

    static hx::MailProvider* makeProvider() {
        Lattice::Base* made = Lattice::ClassFactory::create("MailProvider");
        if (made)
            made->addRef();
        return static_cast<hx::MailProvider*>(made);
    }

    hx::MailProvider* provider = nullptr;
    hx::NotesDatabase* mailFile = nullptr;
};
