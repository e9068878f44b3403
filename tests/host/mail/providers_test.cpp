#include "hxMail/Providers.h"

#include <gtest/gtest.h>

using namespace hxMail;
using Lattice::Ptr;
using Lattice::String;

namespace {

constexpr long NS = kNotSupported;

} // namespace

TEST(MailProviderBase, LoginStateStaysWithItsProviderAndChildrenStartWithoutOwner) {
    Ptr<MailProvider> p(new MailProvider());
    p->setAuthenticated(true);
    // A copy is a fresh provider: a connection's login state does not travel.
    Ptr<MailProvider> fresh(dynamic_cast<MailProvider*>(p->copy(false)));
    ASSERT_FALSE(fresh.isNull());
    EXPECT_FALSE(fresh->isAuthenticated());

    Ptr<GroupProvider> made(
        dynamic_cast<GroupProvider*>(Lattice::ClassFactory::create(Lattice::Atom("GroupProvider"))));
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(made->owner(), nullptr);
    bool canEdit = true;
    EXPECT_EQ(made->groupHasEditRights("g", canEdit), NS);
    EXPECT_TRUE(canEdit) << "an unsupported call leaves its answer alone";

    Ptr<CalendarProvider> cal(new CalendarProvider(p.get()));
    EXPECT_EQ(cal->owner(), p.get());
    EXPECT_TRUE(cal->inheritsFrom(MailChildProvider::classAtom()));
    EXPECT_FALSE(cal->inheritsFrom(MailProvider::classAtom()));
}

TEST(MailProviderBase, ProvidersAreMadeByTheirHostNames) {
    const char* names[] = {"MailProvider", "MessageProvider", "CalendarProvider", "ContactProvider",
                           "TaskProvider", "NoteProvider",    "MeetingProvider",  "GroupProvider"};
    for (const char* n : names) {
        Lattice::Atom atom(n);
        Ptr<Lattice::Base> made(Lattice::ClassFactory::create(atom));
        ASSERT_FALSE(made.isNull()) << n;
        EXPECT_TRUE(made->isA(atom)) << n;
        if (String(n) != "MailProvider") {
            EXPECT_NE(dynamic_cast<MailChildProvider*>(made.get()), nullptr) << n;
        }
    }
}

TEST(MessageType, PrefixesClassifyAndAreStripped) {
    struct Case {
        const char* in;
        _MessageType type;
        const char* rest;
    } cases[] = {
        {"reply_ABC123", MessageTypeReply, "ABC123"},
        {"replyAll_ABC123", MessageTypeReplyAll, "ABC123"},
        {"forward_ABC123", MessageTypeForward, "ABC123"},
        {"ABC123", MessageTypeNormal, "ABC123"},
        {"", MessageTypeNormal, ""},
        // Only a leading prefix counts.
        {"ABCreply_123", MessageTypeNormal, "ABCreply_123"},
        {"xforward_1", MessageTypeNormal, "xforward_1"},
        // Near misses: case, missing underscore, doubled prefix.
        {"Reply_ABC", MessageTypeNormal, "Reply_ABC"},
        {"replyall_ABC", MessageTypeNormal, "replyall_ABC"},
        {"reply", MessageTypeNormal, "reply"},
        {"replyAll", MessageTypeNormal, "replyAll"},
        {"reply_reply_X", MessageTypeReply, "reply_X"},
        {"forward_replyAll_X", MessageTypeForward, "replyAll_X"},
        // A bare prefix leaves an empty id.
        {"reply_", MessageTypeReply, ""},
        {"replyAll_", MessageTypeReplyAll, ""},
        {"forward_", MessageTypeForward, ""},
    };
    for (const Case& c : cases) {
        String id(c.in);
        EXPECT_EQ(MessageProvider::getMessageType(id), c.type) << c.in;
        EXPECT_EQ(id, c.rest) << c.in;
    }
    // The prefix is gone after the first reading: a second one sees a plain id.
    String id("replyAll_0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(MessageProvider::getMessageType(id), MessageTypeReplyAll);
    EXPECT_EQ(MessageProvider::getMessageType(id), MessageTypeNormal);
    EXPECT_EQ(id, "0123456789ABCDEF0123456789ABCDEF");
}

namespace {

// A provider the way a plug-in writes one: a few overrides and embedded children.
class SampleMessageProvider : public MessageProvider {
public:
    using MessageProvider::sendMessage;
    long sendMessage(const Ptr<Message>&, const Ptr<MessageDetail>&, String) override { return 0; }
    long getSmartValue(String id, String& smartValue) override {
        smartValue = "value-of-" + id;
        return 0;
    }
};

class SampleMailProvider : public MailProvider {
public:
    SampleMailProvider() { messages_.setOwner(this); }
    long login(String userName, String, String, long, long) override {
        setAuthenticated(userName == "ann");
        return isAuthenticated() ? 0 : 1;
    }
    MessageProvider* messageProvider() override { return &messages_; }

private:
    SampleMessageProvider messages_;
};

} // namespace

TEST(MailProviderBase, OverridesDispatchThroughTheBaseSlots) {
    Ptr<MailProvider> p(new SampleMailProvider());
    EXPECT_EQ(p->login("bob", "pw", "", 0, 0), 1);
    EXPECT_FALSE(p->isAuthenticated());
    EXPECT_EQ(p->login("ann", "pw", "", 0, 0), 0);
    EXPECT_TRUE(p->isAuthenticated());
    // What the plug-in did not override keeps the base answer.
    EXPECT_EQ(p->logout(), NS);
    EXPECT_EQ(p->calendarProvider(), nullptr);

    MessageProvider* m = p->messageProvider();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m, p->messageProvider());
    EXPECT_EQ(m->owner(), p.get());
    String value("keep");
    EXPECT_EQ(m->getSmartValue("X1", value), 0);
    EXPECT_EQ(value, "value-of-X1");
    Ptr<Message> msg(new Message());
    Ptr<MessageDetail> detail(new MessageDetail());
    EXPECT_EQ(m->sendMessage(msg, detail, ""), 0);
    EXPECT_EQ(m->sendMessage(String("X1")), NS);
    EXPECT_EQ(m->setSmartValue("X1", "n", "v"), NS);
}
