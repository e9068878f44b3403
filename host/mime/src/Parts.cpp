#include "Engine.h"

namespace hxMailLib::Mime {

using Lattice::String;
using namespace detail;

String MailAddress::toString() const {
    if (name.isEmpty())
        return address;
    if (address.isEmpty())
        return name;
    return name + " <" + address + ">";
}

// ---- ContentType

ContentType::ContentType() = default;

ContentType::ContentType(const String& text) {
    parse(text);
}

ContentType::ContentType(const String& type, const String& subtype) {
    setMimeType(type, subtype);
}

bool ContentType::parse(const String& text) {
    *this = ContentType();
    String trimmed = text.trimmed();
    long semi = trimmed.find(';');
    String head = trimmed.left(semi < 0 ? trimmed.length() : semi);
    long slash = head.find('/');
    if (slash <= 0 || head.substring(slash + 1).trimmed().isEmpty()) {
        valid_ = false;
        return false;
    }
    GRef<GMimeContentType> ct(g_mime_content_type_parse(parserOptions(), trimmed.c_str()));
    if (!ct) {
        valid_ = false;
        return false;
    }
    readContentType(ct.get(), *this);
    valid_ = !type_.isEmpty() && !subtype_.isEmpty();
    if (!valid_)
        *this = ContentType(), valid_ = false;
    return valid_;
}

void ContentType::setMimeType(const String& type, const String& subtype) {
    type_ = type.trimmed().toLower();
    subtype_ = subtype.trimmed().toLower();
}

bool ContentType::is(const String& type, const String& subtype) const {
    return (type == "*" || type_.equalsNoCase(type)) && (subtype == "*" || subtype_.equalsNoCase(subtype));
}

String ContentType::getParameter(const String& name) const {
    for (const auto& p : params_)
        if (p.name.equalsNoCase(name))
            return p.value;
    return {};
}

bool ContentType::hasParameter(const String& name) const {
    for (const auto& p : params_)
        if (p.name.equalsNoCase(name))
            return true;
    return false;
}

void ContentType::setParameter(const String& name, const String& value) {
    for (auto& p : params_)
        if (p.name.equalsNoCase(name)) {
            p.value = value;
            return;
        }
    params_.add({name, value});
}

bool ContentType::removeParameter(const String& name) {
    for (long i = 0; i < params_.count(); ++i)
        if (params_[i].name.equalsNoCase(name)) {
            params_.removeAt(i);
            return true;
        }
    return false;
}

String ContentType::toString() const {
    GRef<GMimeContentType> ct(detail::toGMime(*this));
    String encoded = take(g_mime_content_type_encode(ct.get(), formatOptions()));
    // GMime folds as for a header line; the value alone reads better unfolded.
    encoded.replaceAll("\r\n", "");
    encoded.replaceAll("\n", "");
    return encoded.trimmed();
}

// ---- MimeBase

Lattice::Ptr<MimeBase> MimeBase::decodeMimeFromString(const String& text,
                                                      const Lattice::Map<String, String>& defaultHeaders,
                                                      bool withHeaders) {
    if (text.isEmpty())
        return nullptr;
    String source = text;
    if (!withHeaders) {
        String block;
        for (const auto& [name, value] : defaultHeaders)
            block += name + ": " + value + "\r\n";
        source = block + "\r\n" + text;
    } else if (!defaultHeaders.isEmpty()) {
        GRef<GMimeObject> probe = parsePart(text);
        String missing;
        for (const auto& [name, value] : defaultHeaders)
            if (!probe || !g_mime_object_get_header(probe.get(), name.c_str()))
                missing += name + ": " + value + "\r\n";
        if (missing.isEmpty()) {
            Lattice::Ptr<MimeBase> parsed = fromGMime(probe.get());
            return parsed ? parsed : Lattice::Ptr<MimeBase>(new SinglePart());
        }
        source = missing + text;
    }
    GRef<GMimeObject> object = parsePart(source);
    Lattice::Ptr<MimeBase> part = fromGMime(object.get());
    if (!part)
        part = new SinglePart();
    return part;
}

String MimeBase::getHeader(const String& name) const {
    String lower = name.toLower();
    if (lower == "content-type")
        return contentType_.toString();
    if (lower == "content-transfer-encoding")
        return transferEncoding_;
    if (lower == "content-id")
        return contentId_.isEmpty() ? String() : "<" + contentId_ + ">";
    if (lower == "content-disposition") {
        String out = disposition_;
        if (!dispositionFileName_.isEmpty())
            out +=
                (out.isEmpty() ? "attachment" : "") + String("; filename=\"") + dispositionFileName_ + "\"";
        return out;
    }
    for (const auto& h : headers_)
        if (h.name.equalsNoCase(name))
            return h.value;
    return {};
}

bool MimeBase::isFieldHeader(const String& name) {
    String lower = name.toLower();
    return lower == "content-type" || lower == "content-transfer-encoding" || lower == "content-id" ||
           lower == "content-disposition";
}

void MimeBase::setHeader(const String& name, const String& value) {
    String lower = name.toLower();
    if (lower == "content-type") {
        contentType_ = ContentType(value);
        return;
    }
    if (lower == "content-transfer-encoding") {
        setTransferEncoding(value.trimmed());
        return;
    }
    if (lower == "content-id") {
        setContentId(value);
        return;
    }
    if (lower == "content-disposition") {
        GRef<GMimeContentDisposition> d(g_mime_content_disposition_parse(parserOptions(), value.c_str()));
        disposition_.clear();
        dispositionFileName_.clear();
        if (d) {
            setDisposition(orEmpty(g_mime_content_disposition_get_disposition(d.get())));
            dispositionFileName_ = orEmpty(g_mime_content_disposition_get_parameter(d.get(), "filename"));
        }
        return;
    }
    removeHeader(name);
    addHeader(name, value);
}

void MimeBase::addHeader(const String& name, const String& value) {
    if (isFieldHeader(name)) {
        setHeader(name, value);
        return;
    }
    String clean = name.trimmed();
    if (clean.isEmpty())
        return;
    // Line breaks inside a value would start a new header or the body.
    String v = value;
    v.replaceAll("\r", " ");
    v.replaceAll("\n", " ");
    headers_.add({clean, v});
}

bool MimeBase::removeHeader(const String& name) {
    String lower = name.toLower();
    if (lower == "content-type") {
        contentType_ = ContentType();
        return true;
    }
    if (lower == "content-transfer-encoding") {
        transferEncoding_.clear();
        return true;
    }
    if (lower == "content-id") {
        contentId_.clear();
        return true;
    }
    if (lower == "content-disposition") {
        disposition_.clear();
        dispositionFileName_.clear();
        return true;
    }
    bool removed = false;
    for (long i = headers_.count() - 1; i >= 0; --i)
        if (headers_[i].name.equalsNoCase(name)) {
            headers_.removeAt(i);
            removed = true;
        }
    return removed;
}

void MimeBase::setContentId(const String& id) {
    String v = id.trimmed();
    if (v.startsWith("<") && v.endsWith(">") && v.length() >= 2)
        v = v.substring(1, v.length() - 2);
    contentId_ = v;
}

String MimeBase::getFileName() const {
    if (!dispositionFileName_.isEmpty())
        return dispositionFileName_;
    return contentType_.getParameter("name");
}

void MimeBase::setFileName(const String& fileName) {
    dispositionFileName_ = fileName;
    if (fileName.isEmpty())
        contentType_.removeParameter("name");
    else
        contentType_.setParameter("name", fileName);
}

String MimeBase::encodeToString() const {
    GRef<GMimeObject> object(detail::toGMime(*this));
    return objectToString(object.get());
}

// ---- SinglePart

Lattice::Ptr<SinglePart> SinglePart::makeText(const String& utf8Text, const String& subtype) {
    Lattice::Ptr<SinglePart> part(new SinglePart());
    part->contentType_.setMimeType("text", subtype.isEmpty() ? String("plain") : subtype);
    part->setText(utf8Text);
    return part;
}

Lattice::Ptr<SinglePart> SinglePart::makeAttachment(const String& fileName, const String& mimeType,
                                                    const String& bytes) {
    Lattice::Ptr<SinglePart> part(new SinglePart());
    ContentType type(mimeType);
    if (mimeType.trimmed().isEmpty() || !type.isValid())
        type = ContentType("application", "octet-stream");
    part->contentType_ = type;
    part->setDisposition("attachment");
    part->setFileName(fileName);
    part->content_ = bytes;
    return part;
}

String SinglePart::getText() const {
    return toUtf8(content_, contentType_.getCharset());
}

void SinglePart::setText(const String& utf8Text) {
    content_ = utf8Text;
    if (!contentType_.isText())
        contentType_.setMimeType("text", "plain");
    contentType_.setParameter("charset", "utf-8");
}

bool SinglePart::isAttachment() const {
    if (disposition_ == "attachment" || !getFileName().isEmpty())
        return true;
    return !contentType_.isText() && !contentType_.isMultipart();
}

// ---- Multipart

Multipart::Multipart() {
    contentType_.setMimeType("multipart", "mixed");
}

Multipart::Multipart(const String& subtype) {
    contentType_.setMimeType("multipart", subtype.isEmpty() ? String("mixed") : subtype);
}

Lattice::Base* Multipart::deepCopy() const {
    auto* copy = new Multipart(*this);
    for (auto& part : copy->parts_)
        part = static_cast<MimeBase*>(part->deepCopy());
    return copy;
}

void Multipart::addPart(const Lattice::Ptr<MimeBase>& part) {
    if (part)
        parts_.add(part);
}

long Multipart::getSize() const {
    long total = 0;
    for (const auto& p : parts_)
        total += p->getSize();
    return total;
}

} // namespace hxMailLib::Mime
