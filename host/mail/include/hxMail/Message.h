#pragma once
#include "hxMail/Types.h"

#include "Lattice/Object.h"

namespace hxMail {

// Root of every host item: anything with an id of its own.
class Item : public Lattice::SchemaBase {
    LATTICE_CLASS(Item, "Item", Lattice::SchemaBase)
#define HX_ITEM_PROPERTIES(P) P(Lattice::String, id)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_ITEM_PROPERTIES)
#undef HX_ITEM_PROPERTIES
public:
    Item() = default;
    Item(const Item&) = default;
    Item& operator=(const Item&) = default;
    // Out of line so that every user of an item links the library that registers the classes.
    ~Item() override;
};

// The list-level view of anything shown in a folder: mail, appointments, contacts, tasks.
class MessageItem : public Item {
    LATTICE_CLASS(MessageItem, "MessageItem", Item)
#define HX_MESSAGEITEM_PROPERTIES(P)                                                                         \
    P(Lattice::String, subject)                                                                              \
    P(Lattice::String, from)                                                                                 \
    P(Lattice::String, to)                                                                                   \
    P(Lattice::String, cc)                                                                                   \
    P(Lattice::String, bcc)                                                                                  \
    P(Lattice::String, smartName)                                                                            \
    P(Lattice::String, normalizedSubject)                                                                    \
    P(Lattice::_DateTimeData, sent)                                                                          \
    P(Lattice::_DateTimeData, received)                                                                      \
    P(Lattice::_DateTimeData, executionTime)                                                                 \
    P(long, size)                                                                                            \
    P(long, importance)                                                                                      \
    P(long, sensitivity)                                                                                     \
    P(long, iconType)                                                                                        \
    P(bool, readFlag)                                                                                        \
    P(bool, unsent)                                                                                          \
    P(bool, hasAttachments)                                                                                  \
    P(bool, deliveryReceiptRequested)                                                                        \
    P(bool, readReceiptRequested)
    LATTICE_PROPERTIES(Item, HX_MESSAGEITEM_PROPERTIES)
#undef HX_MESSAGEITEM_PROPERTIES
public:
    // Importance codes shared by mail, appointments and tasks.
    static constexpr long ImportanceLow = 0;
    static constexpr long ImportanceNormal = 1;
    static constexpr long ImportanceHigh = 2;

    MessageItem() {
        m_importance = ImportanceNormal;
    }
};

// A mail message.
class Message : public MessageItem {
    LATTICE_CLASS(Message, "Message", MessageItem)
};

// A free-form note.
class Note : public MessageItem {
    LATTICE_CLASS(Note, "Note", MessageItem)
#define HX_NOTE_PROPERTIES(P) P(Lattice::String, text) P(long, color)
    LATTICE_PROPERTIES(MessageItem, HX_NOTE_PROPERTIES)
#undef HX_NOTE_PROPERTIES
};

// A follow-up flag on a message.
class ReminderFlag : public Lattice::SchemaBase {
    LATTICE_CLASS(ReminderFlag, "ReminderFlag", Lattice::SchemaBase)
#define HX_REMINDERFLAG_PROPERTIES(P)                                                                        \
    P(Lattice::String, text)                                                                                 \
    P(Lattice::_DateTimeData, reminderTime)                                                                  \
    P(long, flagStatus)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_REMINDERFLAG_PROPERTIES)
#undef HX_REMINDERFLAG_PROPERTIES
};

class MessageBody : public Lattice::SchemaBase {
    LATTICE_CLASS(MessageBody, "MessageBody", Lattice::SchemaBase)
#define HX_MESSAGEBODY_PROPERTIES(P) P(Lattice::String, text)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_MESSAGEBODY_PROPERTIES)
#undef HX_MESSAGEBODY_PROPERTIES
};

class Attachment : public Item {
    LATTICE_CLASS(Attachment, "Attachment", Item)
#define HX_ATTACHMENT_PROPERTIES(P)                                                                          \
    P(long, attachNum)                                                                                       \
    P(long, size)                                                                                            \
    P(long, method)                                                                                          \
    P(Lattice::String, fileName)                                                                             \
    P(Lattice::String, fileType)                                                                             \
    P(Lattice::String, mimeType)                                                                             \
    P(Lattice::String, contentId)                                                                            \
    P(Lattice::String, path)                                                                                 \
    P(bool, isVCard)
    LATTICE_PROPERTIES(Item, HX_ATTACHMENT_PROPERTIES)
#undef HX_ATTACHMENT_PROPERTIES
};

class Recipient : public Item {
    LATTICE_CLASS(Recipient, "Recipient", Item)
#define HX_RECIPIENT_PROPERTIES(P)                                                                           \
    P(Lattice::String, displayName)                                                                          \
    P(Lattice::String, emailAddress)                                                                         \
    P(Lattice::String, smtpAddress)                                                                          \
    P(Lattice::String, emailType)                                                                            \
    P(long, displayType)                                                                                     \
    P(long, recipientType)
    LATTICE_PROPERTIES(Item, HX_RECIPIENT_PROPERTIES)
#undef HX_RECIPIENT_PROPERTIES
};

// Typed access to an ObjectCollection of host objects. The list exists from construction so that
// callers can fill it straight away; a list cleared to null through reflection is made again on
// the next add.
template <class Self, class Element> class ListHolder {
public:
    // Appends `element` (held by reference); a null element is ignored.
    void add(Element* element) {
        if (element == nullptr)
            return;
        Lattice::Ptr<Lattice::ObjectCollection>& list = self().get_list();
        if (!list)
            list = new Lattice::ObjectCollection();
        list->add(Lattice::Data(element, true));
    }
    void add(const Lattice::Ptr<Element>& element) { add(element.get()); }
    long count() const {
        const Lattice::Ptr<Lattice::ObjectCollection>& list = self().get_list();
        return list ? list->count() : 0;
    }
    // The element at `index`, or null when out of range or not an Element.
    Element* at(long index) const {
        const Lattice::Ptr<Lattice::ObjectCollection>& list = self().get_list();
        if (!list || index < 0 || index >= list->count())
            return nullptr;
        return list->at(index).template toObject<Element>();
    }
    void clear() {
        if (Lattice::Ptr<Lattice::ObjectCollection>& list = self().get_list())
            list->removeAll(true);
    }

private:
    Self& self() { return static_cast<Self&>(*this); }
    const Self& self() const { return static_cast<const Self&>(*this); }
};

class Recipients : public Lattice::SchemaBase, public ListHolder<Recipients, Recipient> {
    LATTICE_CLASS(Recipients, "Recipients", Lattice::SchemaBase)
#define HX_RECIPIENTS_PROPERTIES(P) P(Lattice::Ptr<Lattice::ObjectCollection>, list)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_RECIPIENTS_PROPERTIES)
#undef HX_RECIPIENTS_PROPERTIES
public:
    Recipients() {
        m_list = new Lattice::ObjectCollection();
    }
};

class Attachments : public Lattice::SchemaBase, public ListHolder<Attachments, Attachment> {
    LATTICE_CLASS(Attachments, "Attachments", Lattice::SchemaBase)
#define HX_ATTACHMENTS_PROPERTIES(P) P(Lattice::Ptr<Lattice::ObjectCollection>, list)
    LATTICE_PROPERTIES(Lattice::SchemaBase, HX_ATTACHMENTS_PROPERTIES)
#undef HX_ATTACHMENTS_PROPERTIES
public:
    Attachments() {
        m_list = new Lattice::ObjectCollection();
    }
};

// The opened form of a message: recipients, body and attachments. The recipient lists, body and
// attachment list exist from construction; `from` stays null until a sender is known.
class MessageDetail : public Item {
    LATTICE_CLASS(MessageDetail, "MessageDetail", Item)
#define HX_MESSAGEDETAIL_PROPERTIES(P)                                                                       \
    P(Lattice::Ptr<Recipients>, to)                                                                          \
    P(Lattice::Ptr<Recipients>, cc)                                                                          \
    P(Lattice::Ptr<Recipients>, bcc)                                                                         \
    P(Lattice::Ptr<Recipient>, from)                                                                         \
    P(Lattice::Ptr<MessageBody>, body)                                                                       \
    P(Lattice::String, textType)                                                                             \
    P(Lattice::Ptr<Attachments>, attachments)
    LATTICE_PROPERTIES(Item, HX_MESSAGEDETAIL_PROPERTIES)
#undef HX_MESSAGEDETAIL_PROPERTIES
public:
    MessageDetail() {
        m_to = new Recipients();
        m_cc = new Recipients();
        m_bcc = new Recipients();
        m_body = new MessageBody();
        m_attachments = new Attachments();
    }
};

} // namespace hxMail
