#include "Engine.h"

namespace hxMailLib::Mime {

using Lattice::String;
using namespace detail;

namespace {

void flatten(InternetAddressList* list, AddressList& out, int depth = 0) {
    int n = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < n; ++i) {
        InternetAddress* ia = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(ia)) {
            if (depth < 4)
                flatten(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out, depth + 1);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(ia)) {
            MailAddress a;
            a.name = validUtf8(internet_address_get_name(ia));
            a.address = validUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia)));
            out.add(a);
        }
    }
}

AddressList parseAddresses(const String& text) {
    AddressList out;
    GRef<InternetAddressList> list(internet_address_list_parse(parserOptions(), text.c_str()));
    flatten(list.get(), out);
    return out;
}

const struct {
    const char* name;
    GMimeAddressType type;
} kAddressHeaders[] = {
    {"from", GMIME_ADDRESS_TYPE_FROM}, {"reply-to", GMIME_ADDRESS_TYPE_REPLY_TO},
    {"to", GMIME_ADDRESS_TYPE_TO},     {"cc", GMIME_ADDRESS_TYPE_CC},
    {"bcc", GMIME_ADDRESS_TYPE_BCC},
};

// Header syntax (names quoted where needed) but not encoded: UTF-8 for reading.
String joinAddresses(const AddressList& list) {
    if (list.isEmpty())
        return {};
    GRef<InternetAddressList> out(internet_address_list_new());
    for (const auto& a : list) {
        GRef<InternetAddress> ia(
            internet_address_mailbox_new(a.name.isEmpty() ? nullptr : a.name.c_str(), a.address.c_str()));
        internet_address_list_add(out.get(), ia.get());
    }
    return take(internet_address_list_to_string(out.get(), formatOptions(), FALSE));
}

} // namespace

Lattice::Base* Email::deepCopy() const {
    auto* copy = new Email(*this);
    for (auto& part : copy->bodyParts_)
        part = static_cast<MimeBase*>(part->deepCopy());
    return copy;
}

void Email::clear() {
    *this = Email();
}

void Email::addBodyPart(const Lattice::Ptr<MimeBase>& part) {
    if (part)
        bodyParts_.add(part);
}

AddressList* Email::addressField(const String& name) {
    String lower = name.trimmed().toLower();
    AddressList* fields[] = {&from_, &replyTo_, &to_, &cc_, &bcc_};
    for (int i = 0; i < 5; ++i)
        if (lower == kAddressHeaders[i].name)
            return fields[i];
    return nullptr;
}

const AddressList* Email::addressField(const String& name) const {
    return const_cast<Email*>(this)->addressField(name);
}

String Email::getHeader(const String& name) const {
    if (const AddressList* list = addressField(name))
        return joinAddresses(*list);
    return MimeBase::getHeader(name);
}

void Email::setHeader(const String& name, const String& value) {
    if (AddressList* list = addressField(name)) {
        *list = parseAddresses(value);
        return;
    }
    MimeBase::setHeader(name, value);
}

bool Email::removeHeader(const String& name) {
    if (AddressList* list = addressField(name)) {
        bool had = !list->isEmpty();
        list->clear();
        return had;
    }
    return MimeBase::removeHeader(name);
}

bool Email::decodeFromString(const String& text) {
    clear();
    if (text.trimmed().isEmpty())
        return false;
    GRef<GMimeMessage> message = parseMessage(text);
    if (!message)
        return false;
    readEntityHeaders(GMIME_OBJECT(message.get()), *this, true);
    // The container's own fields live on the body; only its type is kept here.
    contentId_.clear();
    disposition_.clear();
    dispositionFileName_.clear();
    transferEncoding_.clear();
    AddressList* fields[] = {&from_, &replyTo_, &to_, &cc_, &bcc_};
    for (int i = 0; i < 5; ++i)
        flatten(g_mime_message_get_addresses(message.get(), kAddressHeaders[i].type), *fields[i]);

    GMimeObject* body = g_mime_message_get_mime_part(message.get());
    if (body) {
        readContentType(g_mime_object_get_content_type(body), contentType_);
        if (GMIME_IS_MULTIPART(body)) {
            int n = g_mime_multipart_get_count(GMIME_MULTIPART(body));
            for (int i = 0; i < n; ++i)
                addBodyPart(fromGMime(g_mime_multipart_get_part(GMIME_MULTIPART(body), i), 1));
        } else {
            addBodyPart(fromGMime(body));
        }
    }
    sourceSize_ = text.length();
    return true;
}

bool Email::decodeHeadersFromString(const String& text) {
    if (!decodeFromString(text))
        return false;
    bodyParts_.clear();
    return true;
}

Lattice::_DateTimeData Email::getOrigDate() const {
    Lattice::_DateTimeData out;
    String text = MimeBase::getHeader("Date");
    if (text.trimmed().isEmpty())
        return out;
    initialize();
    GDateTime* dt = g_mime_utils_header_decode_date(text.c_str());
    if (!dt)
        return out;
    out.setFullYear(g_date_time_get_year(dt));
    out.month = static_cast<short>(g_date_time_get_month(dt));
    out.day = static_cast<short>(g_date_time_get_day_of_month(dt));
    out.hour = static_cast<short>(g_date_time_get_hour(dt));
    out.minute = static_cast<short>(g_date_time_get_minute(dt));
    out.second = static_cast<short>(g_date_time_get_second(dt));
    out.zoneOffset = -static_cast<long>(g_date_time_get_utc_offset(dt) / G_TIME_SPAN_MINUTE);
    g_date_time_unref(dt);
    return out;
}

bool Email::setOrigDate(const Lattice::_DateTimeData& date) {
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 || date.hour < 0 ||
        date.hour > 23 || date.minute < 0 || date.minute > 59 || date.second < 0 || date.second > 60 ||
        date.zoneOffset <= -24 * 60 || date.zoneOffset >= 24 * 60 || date.fullYear() < 1 ||
        date.fullYear() > 9999)
        return false;
    initialize();
    GTimeZone* tz = g_time_zone_new_offset(static_cast<gint32>(-date.zoneOffset * 60));
    GDateTime* dt = g_date_time_new(tz, date.fullYear(), date.month, date.day, date.hour, date.minute,
                                    date.second > 59 ? 59 : date.second);
    g_time_zone_unref(tz);
    if (!dt)
        return false;
    String text = take(g_mime_utils_header_format_date(dt));
    g_date_time_unref(dt);
    MimeBase::setHeader("Date", text);
    return true;
}

String Email::getMessageId() const {
    String id = MimeBase::getHeader("Message-Id").trimmed();
    if (id.startsWith("<") && id.endsWith(">") && id.length() >= 2)
        id = id.substring(1, id.length() - 2);
    return id;
}

void Email::setMessageId(const String& id) {
    String v = id.trimmed();
    if (v.isEmpty()) {
        MimeBase::removeHeader("Message-Id");
        return;
    }
    if (!v.startsWith("<"))
        v = "<" + v + ">";
    MimeBase::setHeader("Message-Id", v);
}

void Email::setBoundary(const String& boundary) {
    if (!contentType_.isMultipart())
        contentType_.setMimeType("multipart", "mixed");
    contentType_.setParameter("boundary", boundary);
}

namespace detail {
GMimeObject* buildMessage(const Email& email, int depth) {
    initialize();
    GMimeMessage* message = g_mime_message_new(FALSE);
    const AddressList* fields[] = {&email.getFrom(), &email.getReplyTo(), &email.getTo(), &email.getCc(),
                                   &email.getBcc()};
    for (int i = 0; i < 5; ++i)
        for (const auto& a : *fields[i])
            g_mime_message_add_mailbox(message, kAddressHeaders[i].type,
                                       a.name.isEmpty() ? nullptr : a.name.c_str(), a.address.c_str());
    for (const auto& h : email.getHeaderList())
        appendHeader(GMIME_OBJECT(message), h.name, h.value);

    const auto& parts = email.getBodyParts();
    const ContentType& type = email.getContentType();
    GMimeObject* body = nullptr;
    if (parts.count() == 1 && !type.isMultipart()) {
        body = toGMime(*parts[0], depth + 1);
    } else if (parts.isEmpty() && !type.isMultipart()) {
        SinglePart empty;
        empty.setContentType(type);
        body = toGMime(empty, depth + 1);
    } else {
        Multipart container(type.isMultipart() ? type.getSubtype() : String("mixed"));
        if (type.isMultipart())
            container.setContentType(type);
        for (const auto& p : parts)
            container.addPart(p);
        body = toGMime(container, depth + 1);
    }
    g_mime_message_set_mime_part(message, body);
    g_object_unref(body);
    return GMIME_OBJECT(message);
}
} // namespace detail

String Email::encodeToString() const {
    GRef<GMimeObject> message(buildMessage(*this, 0));
    return objectToString(message.get());
}

String Email::encodeHeadersToString() const {
    String all = encodeToString();
    long end = all.find("\r\n\r\n");
    if (end < 0)
        return all.endsWith("\r\n") ? all : all + "\r\n";
    return all.left(end + 2);
}

long Email::getSize() const {
    return sourceSize_ >= 0 ? sourceSize_ : encodeToString().length();
}

namespace {
void collectLeaves(const Lattice::Ptr<MimeBase>& part, Lattice::Array<Lattice::Ptr<SinglePart>>& out,
                   int depth) {
    if (!part || depth > 64)
        return;
    if (auto* mp = dynamic_cast<Multipart*>(part.get())) {
        for (const auto& child : mp->getParts())
            collectLeaves(child, out, depth + 1);
    } else if (auto* single = dynamic_cast<SinglePart*>(part.get())) {
        out.add(Lattice::Ptr<SinglePart>(single));
    }
}
} // namespace

Lattice::Array<Lattice::Ptr<SinglePart>> Email::getLeaves() const {
    Lattice::Array<Lattice::Ptr<SinglePart>> out;
    for (const auto& p : bodyParts_)
        collectLeaves(p, out, 0);
    return out;
}

Lattice::Ptr<SinglePart> Email::findTextBody(const String& subtype) const {
    for (const auto& leaf : getLeaves())
        if (leaf->getContentType().is("text", subtype) && !leaf->isAttachment())
            return leaf;
    return nullptr;
}

Lattice::Array<Lattice::Ptr<SinglePart>> Email::getAttachments() const {
    Lattice::Array<Lattice::Ptr<SinglePart>> out;
    for (const auto& leaf : getLeaves())
        if (leaf->isAttachment())
            out.add(leaf);
    return out;
}

} // namespace hxMailLib::Mime
