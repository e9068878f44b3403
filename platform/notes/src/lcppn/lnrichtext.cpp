// Rich-text objects and the cursor over them, and LNRichText's appending calls.
#include "lnbodies.h"
#include "richtext.h"

#include <algorithm>

using notes::ods::RichTextElement;

struct LNRTObjectBody {
    LNRTTYPE type = 0;
    RichTextElement element;
};

struct LNRTCursorBody {
    std::vector<std::shared_ptr<const LNRTObjectBody>> objects;
    std::size_t position = 0;
    bool placed = false;
};

namespace {

LNRTTYPE rtTypeOf(WORD kind) {
    switch (kind) {
    case notes::ods::kCdText:
        return LNRTTYPE_TEXT;
    case notes::ods::kCdParagraph:
        return LNRTTYPE_PARAGRAPH;
    case notes::ods::kCdLinkBegin:
        return LNRTTYPE_LINK;
    case notes::ods::kCdGraphic:
        return LNRTTYPE_GRAPHIC;
    case notes::ods::kCdAttachmentRef:
        return LNRTTYPE_ATTACHMENT;
    default:
        return 0; // styles and link ends are not objects of their own
    }
}

} // namespace

// ---- LNRTObject ----------------------------------------------------------------------------------

LNRTObject::LNRTObject() = default;
LNRTObject::LNRTObject(const LNRTObject& other) = default;
LNRTObject& LNRTObject::operator=(const LNRTObject& other) = default;
LNRTObject::~LNRTObject() = default;

LNRTTYPE LNRTObject::GetRTType() const {
    return body_ ? body_->type : 0;
}

LNBOOL LNRTObject::IsNull() const {
    return !body_;
}

LNString LNRTObject::GetText() const {
    if (!body_ || body_->type == LNRTTYPE_GRAPHIC || body_->type == LNRTTYPE_PARAGRAPH) {
        return LNString();
    }
    return LNString(body_->element.text);
}

// ---- LNGraphic -----------------------------------------------------------------------------------

LNGraphic::LNGraphic(const LNRTObject& object) : LNRTObject(object) {}

LNGraphic& LNGraphic::operator=(const LNRTObject& object) {
    LNRTObject::operator=(object);
    return *this;
}

LNSTATUS LNGraphic::GetBitmap(std::string* bytes, LNString* mimeType) const {
    if (!body_ || body_->type != LNRTTYPE_GRAPHIC) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    if (bytes == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *bytes = body_->element.bytes;
    if (mimeType != nullptr) {
        *mimeType = LNString(body_->element.text);
    }
    return LNNOERROR;
}

LNINT LNGraphic::GetWidth() const {
    return body_ && body_->type == LNRTTYPE_GRAPHIC ? body_->element.width : 0;
}

LNINT LNGraphic::GetHeight() const {
    return body_ && body_->type == LNRTTYPE_GRAPHIC ? body_->element.height : 0;
}

// ---- LNRTCursor ----------------------------------------------------------------------------------

LNRTCursor::LNRTCursor() = default;
LNRTCursor::LNRTCursor(const LNRTCursor& other) {
    *this = other;
}
LNRTCursor& LNRTCursor::operator=(const LNRTCursor& other) {
    if (this != &other) { // copies move independently
        body_ = other.body_ ? std::make_shared<LNRTCursorBody>(*other.body_) : nullptr;
    }
    return *this;
}
LNRTCursor::~LNRTCursor() = default;

LNSTATUS LNRTCursor::Goto(std::size_t from, LNRTTYPE type, LNRTObject* object) {
    if (!body_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    for (std::size_t i = from; i < body_->objects.size(); ++i) {
        if (body_->objects[i]->type == type) {
            body_->position = i;
            body_->placed = true;
            if (object != nullptr) {
                object->body_ = body_->objects[i];
            }
            return LNNOERROR;
        }
    }
    return LNWARN_NOT_FOUND;
}

LNSTATUS LNRTCursor::GotoFirst(LNRTTYPE type, LNRTObject* object) {
    return Goto(0, type, object);
}

LNSTATUS LNRTCursor::GotoNext(LNRTTYPE type, LNRTObject* object) {
    if (!body_) {
        return lnResult(LNERR_NULL_OBJECT);
    }
    return Goto(body_->placed ? body_->position + 1 : 0, type, object);
}

// ---- LNRichText ----------------------------------------------------------------------------------

#define LN_READ_RICH_OR_RETURN                                                                               \
    WORD type = 0;                                                                                           \
    std::string value;                                                                                       \
    if (LNSTATUS s = Read(&type, &value); s != LNNOERROR) {                                                  \
        return lnResult(s);                                                                                  \
    }

LNSTATUS LNRichText::GetCursor(LNRTCursor* cursor) const {
    if (cursor == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_RICH_OR_RETURN
    std::vector<RichTextElement> elements;
    if (type != 0 && !notes::ods::decodeRichText(value, &elements)) {
        return lnResult(ERR_INVALID_ITEM_VALUE);
    }
    auto body = std::make_shared<LNRTCursorBody>();
    for (RichTextElement& e : elements) {
        if (const LNRTTYPE rt = rtTypeOf(e.kind); rt != 0) {
            auto object = std::make_shared<LNRTObjectBody>();
            object->type = rt;
            object->element = std::move(e);
            body->objects.push_back(std::move(object));
        }
    }
    cursor->body_ = std::move(body);
    return LNNOERROR;
}

namespace {

// Appends records to a rich-text value; a styled run is followed by a return to the default style.
std::string withRecords(std::string value, const std::vector<RichTextElement>& elements) {
    return value + notes::ods::encodeRichText(elements);
}

RichTextElement element(WORD kind, std::string text = {}) {
    RichTextElement e;
    e.kind = kind;
    e.text = std::move(text);
    return e;
}

} // namespace

LNSTATUS LNRichText::AppendStyledText(const LNString& text, WORD styleFlags, LNINT points, DWORD rgb) {
    if (points < 0 || points > 255) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_RICH_OR_RETURN
    RichTextElement style = element(notes::ods::kCdStyle);
    style.flags = static_cast<BYTE>(styleFlags & 0x0F);
    style.points = static_cast<BYTE>(points);
    style.colour = rgb;
    std::vector<RichTextElement> records{style};
    // Paragraph breaks inside the text stay paragraph breaks.
    std::vector<RichTextElement> runs;
    notes::ods::decodeRichText(notes::ods::encodeRichText(text.str()), &runs);
    records.insert(records.end(), runs.begin(), runs.end());
    records.push_back(element(notes::ods::kCdStyle)); // back to the default style
    return SetRawValue(TYPE_COMPOSITE, withRecords(std::move(value), records));
}

LNSTATUS LNRichText::AppendParagraph() {
    LN_READ_RICH_OR_RETURN
    return SetRawValue(TYPE_COMPOSITE, withRecords(std::move(value), {element(notes::ods::kCdParagraph)}));
}

LNSTATUS LNRichText::AppendLink(const LNString& url, const LNString& text) {
    if (url.str().empty()) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_RICH_OR_RETURN
    std::vector<RichTextElement> records{element(notes::ods::kCdLinkBegin, url.str())};
    const std::string shown = text.str().empty() ? url.str() : text.str();
    records.push_back(element(notes::ods::kCdText, shown));
    records.push_back(element(notes::ods::kCdLinkEnd));
    return SetRawValue(TYPE_COMPOSITE, withRecords(std::move(value), records));
}

LNSTATUS LNRichText::AppendGraphic(const std::string& bytes, const LNString& mimeType, LNINT width,
                                   LNINT height) {
    const std::string mime = notes::lower(mimeType.str());
    if (bytes.empty() || (mime != "image/gif" && mime != "image/png" && mime != "image/jpeg") || width < 0 ||
        width > 0xFFFF || height < 0 || height > 0xFFFF) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_RICH_OR_RETURN
    RichTextElement graphic = element(notes::ods::kCdGraphic, mime);
    graphic.bytes = bytes;
    graphic.width = static_cast<WORD>(width);
    graphic.height = static_cast<WORD>(height);
    return SetRawValue(TYPE_COMPOSITE, withRecords(std::move(value), {graphic}));
}

LNSTATUS LNRichText::AppendAttachmentReference(const LNString& attachmentName) {
    if (attachmentName.str().empty()) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_RICH_OR_RETURN
    return SetRawValue(TYPE_COMPOSITE, withRecords(std::move(value), {element(notes::ods::kCdAttachmentRef,
                                                                              attachmentName.str())}));
}
