#pragma once
#include "mail/ContentId.h"
#include "notes/NotesDocument.h"

#include "Lattice/Containers.h"
#include "Lattice/Util.h"
#include "hxMail/Types.h"

namespace hxMailLib::Mime {
class Email;
}

namespace hxMail::hxNotesProvider {

// A mail memo as a host message.
class HX_EXPORT NotesMessage : public NotesDocument {
    LATTICE_CLASS(NotesMessage, "NotesMessage", NotesDocument)
public:
    NotesMessage();
    NotesMessage(const NotesMessage& other);
    // A new document of the given form.
    NotesMessage(MailProvider* provider, const char* form, NotesDatabase* database);
    // A new memo.
    NotesMessage(MailProvider* provider, NotesDatabase* database);
    // The existing document with the UNID text `id`.
    NotesMessage(String& id, MailProvider* provider, NotesDatabase* database);
    // A document the caller already holds open.
    NotesMessage(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy);
    NotesMessage& operator=(const NotesMessage& other);
    ~NotesMessage() override;

    // Fills `item` from the memo and, with a list, appends it there.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag) override;
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    // The label of a filled message item for a sort column; also what a folder's view labels with.
    static void indexLabel(const String& column, hxMail::MessageItem* item, Lattice::ObjectCollection* out);
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;

    // The memo's detail: sender, recipients, the body as HTML from the Domino web task, attachments.
    long loadDetail(Lattice::SchemaBase* detail) override;
    // Fetches the memo's web page, cuts the body out of it and lists the attachments.
    void loadBodyHTTP(hxMail::MessageDetail* detail, bool useExistingBody, bool attachmentsOnly);
    // Whether the note carries a native MIME body. Reopens the document: LNDocument pointers
    // taken before the call are stale afterwards.
    bool isMimeBody();
    // The body of a MIME memo's page: its <pre> text, or the HTML part its link points at.
    String requestMimeBody(String page, bool& isText);
    // The final HTML for the host: wrapped, cut, styled, UTF-8 and inert.
    String convertBody(String body, bool isText);
    // The body between the rich-text page's header table and its hidden form fields.
    String stripHTML(String page);
    // Puts `property` into the head of `html` unless `marker` is there already.
    static void insertHTMLHeadProp(String& html, const String& property, const String& marker);
    // Records the body's embedded-image sources in the provider's content-id table.
    void parseRTFContentIds(const String& html);

    // The body read from the note's own MIME parts, without the web task.
    void loadMimeBody(Lattice::SchemaBase* detail, bool unused, bool asReply);
    void parseMimeBodies(hxMailLib::Mime::Email* email);
    // Lists the leaves of a MIME memo that are neither its body nor one of its file attachments.
    void loadMimeLeaves(hxMail::Attachments* attachments);
    // The decoded bytes of leaf `leaf` (from 0, in message order).
    bool loadMimeLeafData(long leaf, Lattice::Ptr<Lattice::BaseObject64>& out);
    void parseSingleBody(hxMailLib::Mime::Email* email, unsigned short itemType, char* itemName,
                         unsigned short nameLength, void* value, unsigned long valueLength);
    // Records the body's "cid:" references in the provider's content-id table.
    void parseContentIds(String html);

    // File attachments and embedded pictures into the detail; picture references rewritten.
    void loadAttachments(hxMail::MessageDetail* detail);
    Lattice::Ptr<hxMail::Attachment> createServiceAttachment(LNAttachment& attachment);
    void loadEmbeddedAttachments(hxMail::Attachments* attachments);
    // Records the content id and host URL of picture `attachNum`; the content id, or empty when
    // the number has no record.
    String addAttachContent(long attachNum, const String& contentId, bool plainAmpersand);
    void verifyAttachments(hxMail::MessageBody* body, hxMail::Attachments* attachments);
    static String computeMimeType(const Lattice::Atom& extension);
    // The bytes of file attachment `attachNum`, or with `embedded` of content-id record
    // `attachNum` fetched from the web task.
    bool loadAttachmentData(long attachNum, Lattice::Ptr<Lattice::BaseObject64>& out, bool embedded);

    // The host icon code: 5 unread, 6 read, 9/10 responded to, 7 a draft.
    // The host's list icons for a memo.
    enum Icon : long { IconUnread = 5, IconRead = 6, IconDraft = 7, IconForwarded = 9, IconReplied = 10 };
    // The host's importance codes.
    enum Importance : long { ImportanceLow = 0, ImportanceNormal = 1, ImportanceHigh = 2 };
    static long hostImportance(LNMAILIMPORTANCE notes);
    static LNMAILIMPORTANCE notesImportance(long host);

    long getIconType(LNDocument* memo);
    long iconType(LNDocument* memo, bool unread);
    // Host importance 2 high, 1 normal, anything else low.
    void setImportance(long importance, bool save);
    // Every recipient, typed 1 "SendTo", 2 "CopyTo", 3 "BlindCopyTo".
    void loadRecipients(Lattice::ObjectCollection* out);
    void loadRecipients(hxMail::Recipients* to, hxMail::Recipients* cc, hxMail::Recipients* bcc);
    // The subject after its first "Re: ".
    static String getNormalizedSubject(String subject);

    // Composing. Converts the host message to MIME and writes it into this document; saves it
    // when `commit`. `referenceId` is the answered or forwarded memo of a reply or forward.
    virtual long save(hxMail::MessageItem* item, Lattice::SchemaBase* detail, bool commit, bool sending,
                      String referenceId, hxMail::_MessageType type);
    // Stores, saves and hands the memo to the router.
    virtual long send(hxMail::MessageItem* item, Lattice::SchemaBase* detail, bool commit, String referenceId,
                      hxMail::_MessageType type);
    // Stamps "PostedDate", saves and posts into "mail.box".
    virtual long send();
    long save() override;
    void store(const Lattice::Ptr<hxMailLib::Mime::Email>& email, String from, String subject,
               long importance, bool readReceipt, bool deliveryReceipt, long sensitivity, String smartName,
               String smartValue, hxMail::Attachments* attachments, hxMail::Recipients* to,
               hxMail::Recipients* cc, hxMail::Recipients* bcc);
    void writeMimeBody(const Lattice::Ptr<hxMailLib::Mime::Email>& email);
    // Appends `chunk` as "Body" MIME part items of at most 65535 bytes each.
    void mimeToRT(const String& chunk);
    static String generateBoundaryString();
    // A copy of an answered memo made into a fresh draft: none of its delivery state, addresses,
    // body or files stay.
    void prepareAsNewDraft();
    // Drops every "Body" item, so that a draft saved again keeps one body.
    void removeBody();
    void setReplyFields(String referenceId, bool sending);
    void setForwardFields(String referenceId, bool sending);
    void getReplyHeaderFields(String& from, String& sent, String& to, String& subject,
                              String& sensitivityLine, String& importanceLine);
    String getReplyText(bool unused);
    // Sets the mail database's "Body" field of the form "Reply" (a reply) or "Memo" to store its
    // contents as HTML and MIME, or not.
    void modifyFormSaveAsMime(bool on);
    // The host sensitivity of a mood stamp and back: 2 and 3 trade places.
    static long sensitivityOfMood(long mood);
    static long moodOfSensitivity(long sensitivity);
    // Whether the last send found nobody to deliver to.
    bool noRecipients() const { return noRecipients_; }

    bool isNew() const { return isNew_; }
    void setIsNew(bool value) { isNew_ = value; }
    bool isReply() const { return isReply_; }
    void setIsReply(bool value) { isReply_ = value; }
    bool isMime() const { return isMime_; }
    void setIsMime(bool value) { isMime_ = value; }
    long messageType() const { return messageType_; }
    void setMessageType(long value) { messageType_ = value; }
    const String& messageId() const { return messageId_; }
    void setMessageId(const String& value) { messageId_ = value; }
    long contentIdCount() const { return contentIdCount_; }

protected:
    // "http://server/path.nsf/": where the web task serves this memo's database.
    String webDatabaseUrl();
    // The user's "Authorization: Basic" line, when there is a user.
    Lattice::Array<String> credentialHeaders();
    // Closes the document and opens the note in raw MIME form; NULLHANDLE when that fails.
    NOTEHANDLE openRawNote();
    // Reopens the document by its id after a raw-note visit.
    void reopenDocument();
    Lattice::Array<_ContentIdStruct>* contentIdTable();

    bool getUnreadStatus(unsigned long noteId);

    Lattice::Map<String, Lattice::Data> properties{17, 10};
    bool isReply_ = false;
    bool isNew_ = false;
    bool isMime_ = false;
    long messageType_ = 0;
    String messageId_;
    long contentIdCount_ = 0;
    bool noRecipients_ = false;
};

} // namespace hxMail::hxNotesProvider
