#include "lnbodies.h"
#include <cstring>

namespace {

LNSTATUS decodeTexts(WORD type, const std::string& value, std::vector<std::string>* out) {
    if (type == 0) {
        out->clear();
        return LNNOERROR;
    }
    return notes::ods::decodeText(type, value, out) ? LNNOERROR : ERR_INVALID_ITEM_VALUE;
}

bool inRange(LNINT index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

} // namespace

// ---- LNItem ------------------------------------------------------------------------------------

LNItem::LNItem() = default;

LNItem::LNItem(const LNItem& other) {
    *this = other;
}

namespace {

// Bytes copied into a string that usually has the room already (no general replace).
void copyBytes(std::string& to, const std::string& from) {
    if (to.size() != from.size()) {
        to.resize(from.size());
    }
    if (!from.empty()) {
        std::memcpy(to.data(), from.data(), from.size());
    }
}

} // namespace

LNItem& LNItem::operator=(const LNItem& other) {
    if (this == &other) {
        return *this;
    }
    if (other.body_ && other.body_->note == NULLHANDLE) {
        // Free standing: values are copied, into this item's own body when no other item shares it
        // (a loop reading many values into one item allocates once).
        if (body_ && body_.use_count() == 1 && body_->note == NULLHANDLE) {
            const LNItemBody& from = *other.body_;
            body_->itemId = from.itemId;
            body_->type = from.type;
            body_->flags = from.flags;
            copyBytes(body_->name, from.name);
            copyBytes(body_->value, from.value);
        } else {
            body_ = std::make_shared<LNItemBody>(*other.body_);
        }
    } else {
        body_ = other.body_; // attached: the same item
    }
    return *this;
}

LNItem::~LNItem() = default;

bool LNItem::Accepts(WORD) const {
    return true;
}

void LNItem::AssignChecked(const LNItem& item) {
    if (item.IsNull() || Accepts(item.GetNotesType())) {
        LNItem::operator=(item);
    } else {
        body_.reset();
        lnResult(LNERR_ITEM_TYPE);
    }
}

LNSTATUS LNItem::Read(WORD* type, std::string* value) const {
    if (!body_ || body_->note == NULLHANDLE) { // free standing; type 0 while it holds no value
        *type = body_ ? body_->type : 0;
        *value = body_ ? body_->value : std::string();
        return LNNOERROR;
    }
    const auto note = notes::handles::note(body_->note);
    if (!note) {
        return LNERR_ITEM_NOT_ATTACHED;
    }
    const notes::Item* item = note->findById(body_->itemId);
    if (item == nullptr) {
        return ERR_ITEM_NOT_FOUND;
    }
    *type = item->type;
    *value = item->value;
    return LNNOERROR;
}

const std::string* LNItem::Peek(WORD* type) const {
    if (!body_ || body_->note != NULLHANDLE) {
        return nullptr;
    }
    *type = body_->type;
    return &body_->value;
}

LNSTATUS LNItem::Write(WORD type, std::string value) {
    if (!body_) {
        body_ = std::make_shared<LNItemBody>();
    }
    if (body_->note == NULLHANDLE) {
        body_->type = type;
        body_->value = std::move(value);
        return LNNOERROR;
    }
    const auto note = notes::handles::note(body_->note);
    if (!note) {
        return lnResult(LNERR_ITEM_NOT_ATTACHED);
    }
    notes::Item* item = note->findById(body_->itemId);
    if (item == nullptr) {
        return lnResult(ERR_ITEM_NOT_FOUND);
    }
    item->type = type;
    item->value = std::move(value);
    note->dirty = true;
    return LNNOERROR;
}

LNString LNItem::GetName() const {
    if (!body_) {
        return LNString();
    }
    if (body_->note != NULLHANDLE) {
        const auto note = notes::handles::note(body_->note);
        const notes::Item* item = note ? note->findById(body_->itemId) : nullptr;
        return item ? LNString(item->name) : LNString(body_->name);
    }
    return LNString(body_->name);
}

WORD LNItem::GetNotesType() const {
    if (!body_ || body_->note == NULLHANDLE) {
        return body_ ? body_->type : 0;
    }
    WORD type = 0;
    std::string value;
    return Read(&type, &value) == LNNOERROR ? type : static_cast<WORD>(TYPE_ERROR);
}

LNITEMTYPE LNItem::GetType() const {
    if (IsNull()) {
        return LNITEMTYPE_ERROR;
    }
    switch (const WORD type = GetNotesType()) {
    case TYPE_TEXT:
        return LNITEMTYPE_TEXT;
    case TYPE_NUMBER:
        return LNITEMTYPE_NUMBERS;
    case TYPE_TIME:
        return LNITEMTYPE_DATETIMES;
    default:
        return type;
    }
}

LNITEMFLAGS LNItem::GetFlags() const {
    if (!body_) {
        return 0;
    }
    if (body_->note != NULLHANDLE) {
        const auto note = notes::handles::note(body_->note);
        const notes::Item* item = note ? note->findById(body_->itemId) : nullptr;
        return item ? item->flags : 0;
    }
    return body_->flags;
}

LNSTATUS LNItem::SetFlags(LNITEMFLAGS flags) {
    if (!body_) {
        body_ = std::make_shared<LNItemBody>();
    }
    if (body_->note == NULLHANDLE) {
        body_->flags = flags;
        return LNNOERROR;
    }
    const auto note = notes::handles::note(body_->note);
    notes::Item* item = note ? note->findById(body_->itemId) : nullptr;
    if (item == nullptr) {
        return lnResult(LNERR_ITEM_NOT_ATTACHED);
    }
    item->flags = flags;
    note->dirty = true;
    return LNNOERROR;
}

LNINT LNItem::GetValueSize() const {
    WORD type = 0;
    std::string value;
    return Read(&type, &value) == LNNOERROR ? static_cast<LNINT>(value.size()) : 0;
}

LNBOOL LNItem::IsNull() const {
    return !body_ || (body_->note == NULLHANDLE && body_->type == 0);
}

LNBOOL LNItem::IsAttached() const {
    return body_ && body_->note != NULLHANDLE;
}

std::string LNItem::GetRawValue() const {
    WORD type = 0;
    std::string value;
    Read(&type, &value);
    return value;
}

LNSTATUS LNItem::SetRawValue(WORD notesType, const std::string& value) {
    return Write(notesType, value);
}

void LNItem::AssignRaw(WORD notesType, const char* bytes, std::size_t length) {
    if (!body_ || body_.use_count() != 1 || body_->note != NULLHANDLE) {
        body_ = std::make_shared<LNItemBody>();
    }
    body_->type = notesType;
    if (body_->value.size() != length) {
        body_->value.resize(length);
    }
    if (length > 0) {
        std::memcpy(body_->value.data(), bytes, length);
    }
}

// ---- LNText ------------------------------------------------------------------------------------

bool LNText::Accepts(WORD t) const {
    return t == TYPE_TEXT || t == TYPE_TEXT_LIST;
}

LNText& LNText::operator=(const LNItem& item) {
    AssignChecked(item);
    return *this;
}

namespace {

// Reads, edits and writes back a text list.
template <typename Edit> LNSTATUS editTexts(LNText& self, WORD type, const std::string& value, Edit edit) {
    std::vector<std::string> values;
    if (LNSTATUS s = decodeTexts(type, value, &values); s != LNNOERROR) {
        return lnResult(s);
    }
    if (LNSTATUS s = edit(values); s != LNNOERROR) {
        return lnResult(s);
    }
    return self.SetRawValue(TYPE_TEXT_LIST, notes::ods::encodeTextList(values));
}

} // namespace

LNINT LNText::GetCount() const {
    WORD type = 0;
    std::string value;
    std::vector<std::string> values;
    if (Read(&type, &value) != LNNOERROR || decodeTexts(type, value, &values) != LNNOERROR) {
        return 0;
    }
    return static_cast<LNINT>(values.size());
}

LNSTATUS LNText::GetText(LNINT index, LNString* text) const {
    WORD type = 0;
    std::string value;
    std::vector<std::string> values;
    if (LNSTATUS s = Read(&type, &value); s != LNNOERROR) {
        return lnResult(s);
    }
    if (LNSTATUS s = decodeTexts(type, value, &values); s != LNNOERROR) {
        return lnResult(s);
    }
    if (!inRange(index, values.size())) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE);
    }
    *text = LNString(values[static_cast<std::size_t>(index)]);
    return LNNOERROR;
}

LNString LNText::operator[](LNINT index) const {
    if (WORD single = 0; const std::string* raw = Peek(&single)) {
        if (single == TYPE_TEXT) { // one text (a column value): nothing to decode
            return index == 0 ? LNString(*raw) : LNString();
        }
    }
    WORD type = 0;
    std::string value;
    std::vector<std::string> values;
    if (Read(&type, &value) != LNNOERROR || decodeTexts(type, value, &values) != LNNOERROR ||
        !inRange(index, values.size())) {
        return LNString();
    }
    return LNString(values[static_cast<std::size_t>(index)]);
}

#define LN_READ_OR_RETURN                                                                                    \
    WORD type = 0;                                                                                           \
    std::string value;                                                                                       \
    if (LNSTATUS s = Read(&type, &value); s != LNNOERROR) {                                                  \
        return lnResult(s);                                                                                  \
    }

LNSTATUS LNText::Append(const LNString& text) {
    LN_READ_OR_RETURN
    return editTexts(*this, type, value, [&](std::vector<std::string>& v) {
        v.push_back(text.str());
        return LNNOERROR;
    });
}

LNSTATUS LNText::Append(const LNText& texts) {
    const LNINT n = texts.GetCount();
    std::vector<std::string> more;
    for (LNINT i = 0; i < n; ++i) {
        more.push_back(texts[i].str());
    }
    LN_READ_OR_RETURN
    return editTexts(*this, type, value, [&](std::vector<std::string>& v) {
        v.insert(v.end(), more.begin(), more.end());
        return LNNOERROR;
    });
}

LNSTATUS LNText::Insert(LNINT position, const LNString& text) {
    LN_READ_OR_RETURN
    return editTexts(*this, type, value, [&](std::vector<std::string>& v) -> LNSTATUS {
        if (position < 0 || static_cast<std::size_t>(position) > v.size()) {
            return LNERR_INDEX_OUT_OF_RANGE;
        }
        v.insert(v.begin() + position, text.str());
        return LNNOERROR;
    });
}

LNSTATUS LNText::Delete(LNINT position, LNINT count) {
    LN_READ_OR_RETURN
    return editTexts(*this, type, value, [&](std::vector<std::string>& v) -> LNSTATUS {
        if (!inRange(position, v.size()) || count < 0) {
            return LNERR_INDEX_OUT_OF_RANGE;
        }
        const auto end = std::min<std::size_t>(v.size(), static_cast<std::size_t>(position + count));
        v.erase(v.begin() + position, v.begin() + static_cast<std::ptrdiff_t>(end));
        return LNNOERROR;
    });
}

LNSTATUS LNText::DeleteAll() {
    return SetRawValue(TYPE_TEXT_LIST, notes::ods::encodeTextList({}));
}

LNSTATUS LNText::SetValue(const LNString& text) {
    return SetRawValue(TYPE_TEXT_LIST, notes::ods::encodeTextList({text.str()}));
}

LNSTATUS LNText::FindEntry(const LNString& text, LNINT* position, LNSTRINGCOMPAREFLAGS flags) const {
    const LNINT n = GetCount();
    for (LNINT i = 0; i < n; ++i) {
        if (LNStringCompare((*this)[i], text, flags) == 0) {
            if (position) {
                *position = i;
            }
            return LNNOERROR;
        }
    }
    return LNWARN_NOT_FOUND;
}

LNText& LNText::operator<<(const LNString& text) {
    Append(text);
    return *this;
}

LNSTATUS LNText::GetText(LNString* text, const LNString& separator) const {
    if (text == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LNString out;
    const LNINT n = GetCount();
    for (LNINT i = 0; i < n; ++i) {
        if (i > 0) {
            out += separator;
        }
        out += (*this)[i];
    }
    *text = out;
    return LNNOERROR;
}

// ---- LNNumbers ---------------------------------------------------------------------------------

bool LNNumbers::Accepts(WORD t) const {
    return t == TYPE_NUMBER || t == TYPE_NUMBER_RANGE;
}

LNNumbers& LNNumbers::operator=(const LNItem& item) {
    AssignChecked(item);
    return *this;
}

namespace {

LNSTATUS decodeNumbers(WORD type, const std::string& value, std::vector<double>* out) {
    if (type == 0) {
        out->clear();
        return LNNOERROR;
    }
    return notes::ods::decodeNumbers(type, value, out) ? LNNOERROR : ERR_INVALID_ITEM_VALUE;
}

template <typename Edit> LNSTATUS editNumbers(LNItem& self, WORD type, const std::string& value, Edit edit) {
    std::vector<double> values;
    if (LNSTATUS s = decodeNumbers(type, value, &values); s != LNNOERROR) {
        return lnResult(s);
    }
    if (LNSTATUS s = edit(values); s != LNNOERROR) {
        return lnResult(s);
    }
    return self.SetRawValue(TYPE_NUMBER_RANGE, notes::ods::encodeNumbers(values));
}

} // namespace

LNINT LNNumbers::GetCount() const {
    WORD type = 0;
    std::string value;
    std::vector<double> values;
    if (Read(&type, &value) != LNNOERROR || decodeNumbers(type, value, &values) != LNNOERROR) {
        return 0;
    }
    return static_cast<LNINT>(values.size());
}

LNNUMBER LNNumbers::operator[](LNINT index) const {
    WORD type = 0;
    std::string value;
    std::vector<double> values;
    if (Read(&type, &value) != LNNOERROR || decodeNumbers(type, value, &values) != LNNOERROR ||
        !inRange(index, values.size())) {
        return 0;
    }
    return values[static_cast<std::size_t>(index)];
}

LNSTATUS LNNumbers::Append(LNNUMBER number) {
    LN_READ_OR_RETURN
    return editNumbers(*this, type, value, [&](std::vector<double>& v) {
        v.push_back(number);
        return LNNOERROR;
    });
}

LNSTATUS LNNumbers::Insert(LNINT position, LNNUMBER number) {
    LN_READ_OR_RETURN
    return editNumbers(*this, type, value, [&](std::vector<double>& v) -> LNSTATUS {
        if (position < 0 || static_cast<std::size_t>(position) > v.size()) {
            return LNERR_INDEX_OUT_OF_RANGE;
        }
        v.insert(v.begin() + position, number);
        return LNNOERROR;
    });
}

LNSTATUS LNNumbers::Delete(LNINT position, LNINT count) {
    LN_READ_OR_RETURN
    return editNumbers(*this, type, value, [&](std::vector<double>& v) -> LNSTATUS {
        if (!inRange(position, v.size()) || count < 0) {
            return LNERR_INDEX_OUT_OF_RANGE;
        }
        const auto end = std::min<std::size_t>(v.size(), static_cast<std::size_t>(position + count));
        v.erase(v.begin() + position, v.begin() + static_cast<std::ptrdiff_t>(end));
        return LNNOERROR;
    });
}

LNSTATUS LNNumbers::DeleteAll() {
    return SetRawValue(TYPE_NUMBER_RANGE, notes::ods::encodeNumbers({}));
}

LNSTATUS LNNumbers::SetValue(LNNUMBER number) {
    return SetRawValue(TYPE_NUMBER_RANGE, notes::ods::encodeNumbers({number}));
}

LNNumbers& LNNumbers::operator<<(LNNUMBER number) {
    Append(number);
    return *this;
}

// ---- LNDatetimes -------------------------------------------------------------------------------

bool LNDatetimes::Accepts(WORD t) const {
    return t == TYPE_TIME || t == TYPE_TIME_RANGE;
}

LNDatetimes& LNDatetimes::operator=(const LNItem& item) {
    AssignChecked(item);
    return *this;
}

namespace {

struct Times {
    std::vector<TIMEDATE> values;
    std::vector<TIMEDATE_PAIR> ranges;
};

LNSTATUS decodeTimes(WORD type, const std::string& value, Times* out) {
    if (type == 0) {
        *out = Times{};
        return LNNOERROR;
    }
    return notes::ods::decodeTimes(type, value, &out->values, &out->ranges) ? LNNOERROR
                                                                            : ERR_INVALID_ITEM_VALUE;
}

template <typename Edit> LNSTATUS editTimes(LNItem& self, WORD type, const std::string& value, Edit edit) {
    Times t;
    if (LNSTATUS s = decodeTimes(type, value, &t); s != LNNOERROR) {
        return lnResult(s);
    }
    if (LNSTATUS s = edit(t); s != LNNOERROR) {
        return lnResult(s);
    }
    return self.SetRawValue(TYPE_TIME_RANGE, notes::ods::encodeTimes(t.values, t.ranges));
}

} // namespace

#define LN_TIMES_OR(fallback)                                                                                \
    WORD type = 0;                                                                                           \
    std::string value;                                                                                       \
    Times t;                                                                                                 \
    if (Read(&type, &value) != LNNOERROR || decodeTimes(type, value, &t) != LNNOERROR) {                     \
        return fallback;                                                                                     \
    }

LNINT LNDatetimes::GetCount() const {
    LN_TIMES_OR(0)
    return static_cast<LNINT>(t.values.size() + t.ranges.size());
}

LNINT LNDatetimes::GetDatetimeCount() const {
    LN_TIMES_OR(0)
    return static_cast<LNINT>(t.values.size());
}

LNINT LNDatetimes::GetDatetimeRangeCount() const {
    LN_TIMES_OR(0)
    return static_cast<LNINT>(t.ranges.size());
}

LNDatetime LNDatetimes::operator[](LNINT index) const {
    if (WORD single = 0; const std::string* raw = Peek(&single)) {
        if (single == TYPE_TIME) { // one time (a column value): nothing to decode
            TIMEDATE td{};
            if (index != 0 || raw->size() < sizeof td) {
                return LNDatetime();
            }
            std::memcpy(&td, raw->data(), sizeof td);
            return LNDatetime(td);
        }
    }
    LN_TIMES_OR(LNDatetime())
    return inRange(index, t.values.size()) ? LNDatetime(t.values[static_cast<std::size_t>(index)])
                                           : LNDatetime();
}

LNSTATUS LNDatetimes::GetDatetime(LNINT index, LNDatetime* out) const {
    LN_READ_OR_RETURN
    Times t;
    if (LNSTATUS s = decodeTimes(type, value, &t); s != LNNOERROR) {
        return lnResult(s);
    }
    if (!inRange(index, t.values.size()) || out == nullptr) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE);
    }
    *out = LNDatetime(t.values[static_cast<std::size_t>(index)]);
    return LNNOERROR;
}

LNSTATUS LNDatetimes::GetDatetimeRange(LNINT index, LNDatetimeRange* out) const {
    LN_READ_OR_RETURN
    Times t;
    if (LNSTATUS s = decodeTimes(type, value, &t); s != LNNOERROR) {
        return lnResult(s);
    }
    if (!inRange(index, t.ranges.size()) || out == nullptr) {
        return lnResult(LNERR_INDEX_OUT_OF_RANGE);
    }
    *out = LNDatetimeRange(t.ranges[static_cast<std::size_t>(index)]);
    return LNNOERROR;
}

LNSTATUS LNDatetimes::Append(const LNDatetime& dt) {
    if (dt.IsNull()) {
        return lnResult(LNERR_INVALID_DATETIME);
    }
    LN_READ_OR_RETURN
    return editTimes(*this, type, value, [&](Times& v) {
        v.values.push_back(dt.GetTIMEDATE());
        return LNNOERROR;
    });
}

LNSTATUS LNDatetimes::Append(const LNDatetimeRange& range) {
    LN_READ_OR_RETURN
    return editTimes(*this, type, value, [&](Times& v) {
        v.ranges.push_back(range.GetTIMEDATE_PAIR());
        return LNNOERROR;
    });
}

LNSTATUS LNDatetimes::Insert(LNINT position, const LNDatetime& dt) {
    if (dt.IsNull()) {
        return lnResult(LNERR_INVALID_DATETIME);
    }
    LN_READ_OR_RETURN
    return editTimes(*this, type, value, [&](Times& v) -> LNSTATUS {
        if (position < 0 || static_cast<std::size_t>(position) > v.values.size()) {
            return LNERR_INDEX_OUT_OF_RANGE;
        }
        v.values.insert(v.values.begin() + position, dt.GetTIMEDATE());
        return LNNOERROR;
    });
}

LNSTATUS LNDatetimes::DeleteAll() {
    return SetRawValue(TYPE_TIME_RANGE, notes::ods::encodeTimes({}, {}));
}

LNSTATUS LNDatetimes::SetValue(const LNDatetime& dt) {
    if (dt.IsNull()) {
        return lnResult(LNERR_INVALID_DATETIME);
    }
    return SetRawValue(TYPE_TIME_RANGE, notes::ods::encodeTimes({dt.GetTIMEDATE()}, {}));
}

LNDatetimes& LNDatetimes::operator<<(const LNDatetime& dt) {
    Append(dt);
    return *this;
}

// ---- LNRichText --------------------------------------------------------------------------------

LNRichText& LNRichText::operator=(const LNItem& item) {
    AssignChecked(item);
    return *this;
}

LNSTATUS LNRichText::GetText(LNString* text) const {
    if (text == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    LN_READ_OR_RETURN
    std::string plain;
    if (type != 0 && !notes::ods::decodeRichTextPlain(value, &plain)) {
        return lnResult(ERR_INVALID_ITEM_VALUE);
    }
    *text = LNString(std::move(plain));
    return LNNOERROR;
}

LNString LNRichText::GetText() const {
    WORD type = 0;
    std::string value, plain;
    if (Read(&type, &value) == LNNOERROR) {
        notes::ods::decodeRichTextPlain(value, &plain);
    }
    return LNString(std::move(plain));
}

LNSTATUS LNRichText::Append(const LNString& text) {
    LN_READ_OR_RETURN
    return SetRawValue(TYPE_COMPOSITE, value + notes::ods::encodeRichText(text.str()));
}

LNSTATUS LNRichText::SetValue(const LNString& text) {
    return SetRawValue(TYPE_COMPOSITE, notes::ods::encodeRichText(text.str()));
}

LNSTATUS LNRichText::DeleteAll() {
    return SetRawValue(TYPE_COMPOSITE, std::string());
}
