#pragma once
// The host's MIME kit: a small object model of Internet messages (RFC 5322 / MIME) with GMime as the
// parsing and encoding engine behind it. No GLib or GMime type appears here.
//
// Ownership: every class is a reference-counted Lattice::Base; hold instances with Lattice::Ptr.
// A Multipart holds references to its sub-parts and an Email to its body parts, so a part may be
// shared by two trees; use deepCopy() for an independent copy. All texts are values (copied).
// Decoded texts (headers, subjects, names, getText) are UTF-8; getContent() gives raw bytes.
//
// Threads: GMime is initialised once per process on first use and never shut down. Objects are not
// locked: one object belongs to one thread of work at a time, like every framework object.

#include "Lattice/Base.h"
#include "Lattice/Containers.h"
#include "Lattice/Dates.h"
#include "Lattice/String.h"

namespace hxMailLib::Mime {

// Initialises the MIME engine; idempotent and thread-safe. Every entry point calls it itself.
void initialize();

// One mailbox of an address header. `name` is the decoded display name (may be empty).
struct MailAddress {
    Lattice::String name;
    Lattice::String address;
    bool operator==(const MailAddress&) const = default;
    // "Name <address>" or just "address", unencoded (for display and logs).
    Lattice::String toString() const;
};
using AddressList = Lattice::Array<MailAddress>;

// A parameter of a structured header (Content-Type, Content-Disposition); values decoded, UTF-8.
struct MimeParameter {
    Lattice::String name;
    Lattice::String value;
    bool operator==(const MimeParameter&) const = default;
};

// A Content-Type value: type, subtype and parameters. Type names are kept in lower case.
class ContentType : public Lattice::Base {
    LATTICE_CLASS(ContentType, "MimeContentType", Lattice::Base)
public:
    // "text/plain" with no parameters.
    ContentType();
    // Parses a header value such as "text/plain; charset=iso-8859-1". Unparsable text gives
    // "text/plain" (the RFC 2045 default) and isValid() false.
    explicit ContentType(const Lattice::String& text);
    ContentType(const Lattice::String& type, const Lattice::String& subtype);
    ContentType(const ContentType&) = default;
    ContentType& operator=(const ContentType&) = default;
    Lattice::Base* deepCopy() const override { return new ContentType(*this); }

    bool parse(const Lattice::String& text);
    bool isValid() const { return valid_; }

    const Lattice::String& getType() const { return type_; }
    const Lattice::String& getSubtype() const { return subtype_; }
    // "type/subtype".
    Lattice::String getMimeType() const { return type_ + "/" + subtype_; }
    void setMimeType(const Lattice::String& type, const Lattice::String& subtype);
    // Case-insensitive; "*" matches any type or subtype.
    bool is(const Lattice::String& type, const Lattice::String& subtype) const;
    bool isMultipart() const { return type_ == "multipart"; }
    bool isText() const { return type_ == "text"; }

    // Parameter names compare case-insensitively; a missing parameter reads as the empty text.
    Lattice::String getParameter(const Lattice::String& name) const;
    bool hasParameter(const Lattice::String& name) const;
    void setParameter(const Lattice::String& name, const Lattice::String& value);
    bool removeParameter(const Lattice::String& name);
    const Lattice::Array<MimeParameter>& getParameters() const { return params_; }

    Lattice::String getCharset() const { return getParameter("charset"); }
    Lattice::String getBoundary() const { return getParameter("boundary"); }

    // The header value, with parameters quoted or RFC 2231-encoded as needed.
    Lattice::String toString() const;

private:
    Lattice::String type_ = "text";
    Lattice::String subtype_ = "plain";
    Lattice::Array<MimeParameter> params_;
    bool valid_ = true;
};

struct MimeHeader {
    Lattice::String name;
    Lattice::String value; // decoded, unfolded, UTF-8
    bool operator==(const MimeHeader&) const = default;
};

// A MIME entity: its headers and content type. The Content-Type, Content-Disposition,
// Content-Transfer-Encoding and Content-ID headers are held as fields, the rest as an ordered list.
class MimeBase : public Lattice::Base {
    LATTICE_CLASS(MimeBase, "MimeBase", Lattice::Base)
public:
    MimeBase() = default;
    MimeBase(const MimeBase&) = default;
    MimeBase& operator=(const MimeBase&) = default;
    Lattice::Base* deepCopy() const override { return new MimeBase(*this); }

    // Decodes one MIME part (a SinglePart or a Multipart) from its text.
    // With `withHeaders` the text starts with the part's own header block; without, the whole
    // text is content. `defaultHeaders` supply headers the part lacks (e.g. a Content-Type for
    // headerless content). Returns null only for empty input; malformed input yields what can be
    // recovered.
    static Lattice::Ptr<MimeBase>
    decodeMimeFromString(const Lattice::String& text,
                         const Lattice::Map<Lattice::String, Lattice::String>& defaultHeaders =
                             Lattice::Map<Lattice::String, Lattice::String>(),
                         bool withHeaders = true);

    virtual bool isMultipart() const { return false; }

    const ContentType& getContentType() const { return contentType_; }
    ContentType& getContentType() { return contentType_; }
    void setContentType(const ContentType& type) { contentType_ = type; }
    void setContentType(const Lattice::String& text) { contentType_ = ContentType(text); }

    // Header access by case-insensitive name, including the Content-* fields. getHeader gives the
    // first value or the empty text; setHeader replaces every header of the name.
    virtual Lattice::String getHeader(const Lattice::String& name) const;
    bool hasHeader(const Lattice::String& name) const { return !getHeader(name).isEmpty(); }
    virtual void setHeader(const Lattice::String& name, const Lattice::String& value);
    void addHeader(const Lattice::String& name, const Lattice::String& value);
    virtual bool removeHeader(const Lattice::String& name);
    // The headers not held as fields, in order.
    const Lattice::Array<MimeHeader>& getHeaderList() const { return headers_; }

    // Without the angle brackets.
    const Lattice::String& getContentId() const { return contentId_; }
    void setContentId(const Lattice::String& id);
    // "attachment", "inline" or the empty text when the part has no disposition.
    const Lattice::String& getDisposition() const { return disposition_; }
    void setDisposition(const Lattice::String& disposition) { disposition_ = disposition.toLower(); }
    // The file name from the disposition, else the content type's "name"; decoded.
    Lattice::String getFileName() const;
    // Sets both the disposition's "filename" and the content type's "name".
    void setFileName(const Lattice::String& fileName);
    // The disposition's "filename" alone.
    const Lattice::String& getDispositionFileName() const { return dispositionFileName_; }
    void setDispositionFileName(const Lattice::String& fileName) { dispositionFileName_ = fileName; }
    // "7bit", "quoted-printable", "base64", ... as read; when empty, encoding picks the best.
    const Lattice::String& getTransferEncoding() const { return transferEncoding_; }
    void setTransferEncoding(const Lattice::String& encoding) { transferEncoding_ = encoding.toLower(); }

    // Content bytes (decoded); for a multipart the sum over its leaves.
    virtual long getSize() const { return 0; }
    // The part as MIME text (headers, blank line, content), lines ending in CRLF.
    virtual Lattice::String encodeToString() const;

    // Whether `name` is one of the fields above; those are not kept in the header list.
    static bool isFieldHeader(const Lattice::String& name);

protected:
    ContentType contentType_;
    Lattice::Array<MimeHeader> headers_;
    Lattice::String contentId_;
    Lattice::String disposition_;
    Lattice::String dispositionFileName_;
    Lattice::String transferEncoding_;
};

// A leaf part with its content bytes.
class SinglePart : public MimeBase {
    LATTICE_CLASS(SinglePart, "MimeSinglePart", MimeBase)
public:
    SinglePart() = default;
    SinglePart(const SinglePart&) = default;
    SinglePart& operator=(const SinglePart&) = default;
    Lattice::Base* deepCopy() const override { return new SinglePart(*this); }

    // A text part "text/<subtype>; charset=utf-8" holding `utf8Text`.
    static Lattice::Ptr<SinglePart> makeText(const Lattice::String& utf8Text,
                                             const Lattice::String& subtype = "plain");
    // An attachment with its bytes; an empty `mimeType` gives "application/octet-stream".
    static Lattice::Ptr<SinglePart> makeAttachment(const Lattice::String& fileName,
                                                   const Lattice::String& mimeType,
                                                   const Lattice::String& bytes);

    // The decoded content bytes (transfer encoding removed, charset untouched).
    const Lattice::String& getContent() const { return content_; }
    void setContent(const Lattice::String& bytes) { content_ = bytes; }
    // The content as UTF-8 text, converted from the part's charset. Unknown or lying charsets fall
    // back to UTF-8 when the bytes are valid UTF-8, else to Windows-1252.
    Lattice::String getText() const;
    // Stores `utf8Text` and marks the charset as utf-8 (the type stays unless it is not text).
    void setText(const Lattice::String& utf8Text);

    bool isText() const { return contentType_.isText(); }
    // True for an explicit "attachment" disposition, or a named part that is not inline text.
    bool isAttachment() const;
    long getSize() const override { return content_.length(); }

private:
    Lattice::String content_;
};

// A multipart entity with its sub-parts. The boundary is the content type's parameter; when it is
// empty, encoding makes a fresh one.
class Multipart : public MimeBase {
    LATTICE_CLASS(Multipart, "MimeMultipart", MimeBase)
public:
    // "multipart/mixed".
    Multipart();
    explicit Multipart(const Lattice::String& subtype);
    Multipart(const Multipart&) = default;
    Multipart& operator=(const Multipart&) = default;
    // Copies the sub-parts as well.
    Lattice::Base* deepCopy() const override;

    bool isMultipart() const override { return true; }
    Lattice::Array<Lattice::Ptr<MimeBase>>& getParts() { return parts_; }
    const Lattice::Array<Lattice::Ptr<MimeBase>>& getParts() const { return parts_; }
    // Null parts are ignored.
    void addPart(const Lattice::Ptr<MimeBase>& part);
    Lattice::String getBoundary() const { return contentType_.getBoundary(); }
    void setBoundary(const Lattice::String& boundary) { contentType_.setParameter("boundary", boundary); }
    long getSize() const override;

private:
    Lattice::Array<Lattice::Ptr<MimeBase>> parts_;
};

// A whole message: envelope headers plus body parts. A single-part message has one body part and a
// non-multipart content type; otherwise the content type (multipart/mixed when it is not a
// multipart type) is the container of the body parts.
class Email : public MimeBase {
    LATTICE_CLASS(Email, "MimeEmail", MimeBase)
public:
    Email() = default;
    Email(const Email&) = default;
    Email& operator=(const Email&) = default;
    // Copies the body parts as well.
    Lattice::Base* deepCopy() const override;

    // Replaces this e-mail by the message in `text`. False (and the e-mail emptied) for empty or
    // unparsable input; malformed messages otherwise yield whatever could be recovered.
    bool decodeFromString(const Lattice::String& text);
    // Like decodeFromString but keeps only the header block; the body parts stay empty.
    bool decodeHeadersFromString(const Lattice::String& text);
    void clear();

    Lattice::Array<Lattice::Ptr<MimeBase>>& getBodyParts() { return bodyParts_; }
    const Lattice::Array<Lattice::Ptr<MimeBase>>& getBodyParts() const { return bodyParts_; }
    void addBodyPart(const Lattice::Ptr<MimeBase>& part);

    // Decoded (RFC 2047), UTF-8.
    Lattice::String getSubject() const { return getHeader("Subject"); }
    void setSubject(const Lattice::String& utf8Subject) { setHeader("Subject", utf8Subject); }
    // The Date header; an unset record (day 0) when missing or not a date. zoneOffset is the bias
    // in minutes west of GMT, as in every framework date.
    Lattice::_DateTimeData getOrigDate() const;
    // False (and the header unchanged) for an invalid date.
    bool setOrigDate(const Lattice::_DateTimeData& date);
    Lattice::String getMessageId() const;
    void setMessageId(const Lattice::String& id);

    const AddressList& getFrom() const { return from_; }
    const AddressList& getReplyTo() const { return replyTo_; }
    const AddressList& getTo() const { return to_; }
    const AddressList& getCc() const { return cc_; }
    const AddressList& getBcc() const { return bcc_; }
    void setFrom(const AddressList& list) { from_ = list; }
    void setReplyTo(const AddressList& list) { replyTo_ = list; }
    void setTo(const AddressList& list) { to_ = list; }
    void setCc(const AddressList& list) { cc_ = list; }
    void setBcc(const AddressList& list) { bcc_ = list; }
    void addTo(const Lattice::String& name, const Lattice::String& address) { to_.add({name, address}); }
    void addCc(const Lattice::String& name, const Lattice::String& address) { cc_.add({name, address}); }
    void addBcc(const Lattice::String& name, const Lattice::String& address) { bcc_.add({name, address}); }

    // Address headers (From, Reply-To, To, Cc, Bcc) are parsed into the lists above.
    Lattice::String getHeader(const Lattice::String& name) const override;
    void setHeader(const Lattice::String& name, const Lattice::String& value) override;
    bool removeHeader(const Lattice::String& name) override;

    // The container boundary; setting one makes the e-mail multipart (mixed unless already multipart).
    Lattice::String getBoundary() const { return contentType_.getBoundary(); }
    void setBoundary(const Lattice::String& boundary);

    // Size of the decoded source text, or of the encoded text for a built e-mail.
    long getSize() const override;
    Lattice::String encodeToString() const override;
    // The top-level header block only, each line ending in CRLF (no blank line after it).
    Lattice::String encodeHeadersToString() const;

    // Finders over the whole part tree. The first text body of the subtype that is not an
    // attachment, or null.
    Lattice::Ptr<SinglePart> findTextBody(const Lattice::String& subtype) const;
    // Every leaf that is an attachment, in order.
    Lattice::Array<Lattice::Ptr<SinglePart>> getAttachments() const;
    // Every leaf, depth first.
    Lattice::Array<Lattice::Ptr<SinglePart>> getLeaves() const;

private:
    AddressList* addressField(const Lattice::String& name);
    const AddressList* addressField(const Lattice::String& name) const;

    AddressList from_;
    AddressList replyTo_;
    AddressList to_;
    AddressList cc_;
    AddressList bcc_;
    Lattice::Array<Lattice::Ptr<MimeBase>> bodyParts_;
    long sourceSize_ = -1;
};

} // namespace hxMailLib::Mime
