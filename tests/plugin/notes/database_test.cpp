// NotesDatabase on real databases of the stand-in: handles, paths, replica ids, deletion.
#include "ProviderFixture.h"

#include "mail/NotesMessage.h"
#include "notes/NotesFolder.h"

using Lattice::String;

namespace {

// True while the C API still knows the database handle.
bool handleAlive(DBHANDLE h) {
    char canonical[MAXPATH];
    char expanded[MAXPATH];
    return NSFDbPathGet(h, canonical, expanded) == NOERROR;
}

class DatabaseTest : public ProviderTest {};

} // namespace

TEST_F(DatabaseTest, LockTwiceLeavesOneOpenHandleAndUnlockingAgainDoesNothing) {
    mailFile->lockHandle();
    ASSERT_TRUE(mailFile->isOpen());
    LNDatabase* first = mailFile->getDatabase();
    ASSERT_NE(first, nullptr);
    const DBHANDLE firstHandle = first->GetDatabaseHandle();
    ASSERT_NE(firstHandle, NULLHANDLE);

    mailFile->lockHandle();
    ASSERT_TRUE(mailFile->isOpen());
    LNDatabase* second = mailFile->getDatabase();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->IsOpen());
    EXPECT_NE(second->GetDatabaseHandle(), firstHandle);
    EXPECT_FALSE(handleAlive(firstHandle)) << "the first handle was left open";
    EXPECT_TRUE(handleAlive(second->GetDatabaseHandle()));

    const DBHANDLE secondHandle = second->GetDatabaseHandle();
    for (int twice = 0; twice < 2; ++twice) {
        mailFile->unlockHandle();
        EXPECT_FALSE(mailFile->isOpen());
    }
    EXPECT_FALSE(handleAlive(secondHandle));
    // Outside a lock bracket the wrapper hands out bound but unopened handles.
    LNDatabase* bound = mailFile->getDatabase();
    ASSERT_NE(bound, nullptr);
    EXPECT_FALSE(bound->IsOpen());
    EXPECT_FALSE(bound->IsNull());
}

TEST_F(DatabaseTest, UnreachableDatabaseHasNoHandle) {
    hx::NotesDatabase missing("Mail1", "mail/nobody", provider);
    missing.lockHandle();
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.getDatabase(), nullptr);
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal()) << "a failed lookup switches throw mode off";

    hx::NotesDatabase otherServer("CN=Elsewhere/O=Acme", "mail.box", provider);
    otherServer.lockHandle();
    EXPECT_FALSE(otherServer.isOpen());

    hx::NotesDatabase orphan("Mail1", "mail.box", nullptr);
    orphan.lockHandle();
    EXPECT_FALSE(orphan.isOpen());
    EXPECT_EQ(orphan.getDatabase(), nullptr);
}

TEST_F(DatabaseTest, ProviderBracketsItsDatabases) {
    provider->lockAll();
    EXPECT_TRUE(provider->getMailBox()->isOpen());
    EXPECT_TRUE(provider->getDirectory()->isOpen());
    provider->lockAll();
    EXPECT_TRUE(provider->getMailBox()->isOpen());
    provider->unlockAll();
    EXPECT_FALSE(provider->getMailBox()->isOpen());
    EXPECT_FALSE(provider->getDirectory()->isOpen());

    // Without a session there is nothing to lock, and nothing breaks.
    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    hx::MailProvider* failed = makeProvider();
    failed->lockAll();
    failed->unlockAll();
    EXPECT_EQ(failed->getMailBox(), nullptr);
    failed->release();
}

TEST_F(DatabaseTest, FullDatabasePath) {
    EXPECT_EQ(mailFile->getFullDatabasePath(false, true), "Mail1/mail/jdoe.nsf/");
    EXPECT_EQ(mailFile->getFullDatabasePath(true, false), "/Mail1/mail/jdoe.nsf");
    EXPECT_EQ(mailFile->getFullDatabasePath(true, true), "/Mail1/mail/jdoe.nsf/");

    hx::NotesDatabase local("", "mail\\sub\\jdoe", provider);
    EXPECT_EQ(local.getFullDatabasePath(false, true), "localhost/mail/sub/jdoe.nsf/");

    // The path is taken as stored: an ".nsf" there is doubled.
    hx::NotesDatabase suffixed("Mail1", "names.nsf", provider);
    EXPECT_EQ(suffixed.getFullDatabasePath(false, false), "Mail1/names.nsf.nsf");

    // Without a provider the server name is used unabbreviated, up to its first '/'.
    hx::NotesDatabase orphan("Mail1/Acme", "x", nullptr);
    EXPECT_EQ(orphan.getFullDatabasePath(false, false), "Mail1/x.nsf");
}

TEST_F(DatabaseTest, ReplicaIdText) {
    EXPECT_EQ(hx::NotesDatabase::formatReplicaId(0x0000ABCD, 0x00001234), "00001234:0000ABCD");
    EXPECT_EQ(hx::NotesDatabase::formatReplicaId(0xFFFFFFFF, 0), "00000000:FFFFFFFF");

    mailFile->lockHandle();
    DBREPLICAINFO info{};
    ASSERT_EQ(NSFDbReplicaInfoGet(mailFile->getDatabase()->GetDatabaseHandle(), &info), NOERROR);
    const String expected = hx::NotesDatabase::formatReplicaId(info.ID.Innards[0], info.ID.Innards[1]);
    EXPECT_EQ(mailFile->getReplicaIdStr(), expected);
    EXPECT_EQ(mailFile->getReplicaIdStr().length(), 17);
    mailFile->unlockHandle();

    hx::NotesDatabase missing("Mail1", "mail/nobody", provider);
    EXPECT_TRUE(missing.getReplicaIdStr().isEmpty());
}

TEST_F(DatabaseTest, DeleteItemRemovesTheDocumentForGood) {
    mailFile->lockHandle();
    String unid;
    {
        hx::NotesDocument doc(provider, "Memo", mailFile);
        doc.save();
        unid = doc.getId();
    }
    ASSERT_EQ(unid.length(), 32);
    mailFile->deleteItem(unid, provider);
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal());
    hx::NotesDocument gone(unid, provider, mailFile, false);
    EXPECT_TRUE(gone.loadFailed());

    // Unknown and malformed ids are swallowed.
    mailFile->deleteItem(unid, provider);
    mailFile->deleteItem("not-a-unid", provider);
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal());
    mailFile->unlockHandle();
}

TEST_F(DatabaseTest, WellKnownFoldersOnly) {
    EXPECT_EQ(mailFile->getFolder("ABC"), nullptr);
    EXPECT_EQ(mailFile->getFolder(""), nullptr);
    auto* inbox = new hx::NotesFolder();
    mailFile->setWellKnownFolder(hx::NotesDatabase::Inbox, inbox, "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(mailFile->getFolder("0123456789ABCDEF0123456789ABCDEF"), inbox);
    EXPECT_EQ(mailFile->getFolder("0123456789abcdef0123456789abcdef"), nullptr) << "ids compare exactly";
    EXPECT_EQ(inbox->refCount(), 1);
    mailFile->setWellKnownFolder(hx::NotesDatabase::Inbox, nullptr, "");
    EXPECT_EQ(mailFile->getFolder("0123456789ABCDEF0123456789ABCDEF"), nullptr);
}

TEST_F(DatabaseTest, PrintAPIErrorWritesTheTextToStandardError) {
    char expected[200] = {};
    OSLoadString(nullptr, ERR_NOEXIST, expected, sizeof expected);
    ASSERT_NE(expected[0], '\0');
    testing::internal::CaptureStderr();
    hx::NotesDatabase::PrintAPIError(static_cast<unsigned short>(ERR_NOEXIST | 0x8000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n" + std::string(expected) + "\n");
}

TEST_F(DatabaseTest, SendDocPostsACopyIntoMailBox) {
    provider->lockAll();
    mailFile->lockHandle();
    hx::NotesDocument memo(provider, "Memo", mailFile);
    String subject("Quarterly report");
    memo.setItemString("Subject", subject);
    memo.save();

    hx::NotesDatabase* mailBox = provider->getMailBox();
    LNNoteArray before;
    ASSERT_EQ(mailBox->getDatabase()->GetNotes(&before), LNNOERROR);
    EXPECT_EQ(mailBox->sendDoc(memo.getDocument()), LNNOERROR);
    LNNoteArray after;
    ASSERT_EQ(mailBox->getDatabase()->GetNotes(&after), LNNOERROR);
    ASSERT_EQ(after.GetCount(), before.GetCount() + 1);

    LNDocument posted = after[after.GetCount() - 1];
    ASSERT_EQ(posted.Open(), LNNOERROR);
    LNText text;
    ASSERT_EQ(posted.GetItem("Subject", &text), LNNOERROR);
    EXPECT_EQ(text[0], "Quarterly report");
    posted.Close();
    EXPECT_NE(mailBox->sendDoc(nullptr), LNNOERROR);
    LNSetThrowAllErrorsGlobal(FALSE);
    mailFile->unlockHandle();
    provider->unlockAll();
}

TEST_F(DatabaseTest, MessagesMadeOnTheDatabase) {
    mailFile->lockHandle();
    hx::NotesMessage* memo = mailFile->createMessage();
    memo->addRef();
    EXPECT_FALSE(memo->loadFailed());
    EXPECT_EQ(memo->getItemString("Form", false), "Memo");
    memo->save();
    String id = memo->getId();
    memo->release();

    hx::NotesMessage* opened = mailFile->openMessage(id);
    opened->addRef();
    EXPECT_FALSE(opened->loadFailed());
    EXPECT_EQ(opened->getId(), id);
    hx::NotesMessage* wrapped = mailFile->createMessage(opened->getDocument());
    wrapped->addRef();
    EXPECT_EQ(wrapped->getId(), id);
    wrapped->release();
    opened->release();
    mailFile->unlockHandle();
}
