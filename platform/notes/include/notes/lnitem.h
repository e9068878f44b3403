// Items of a note: LNItem and its typed forms LNText, LNNumbers, LNDatetimes and LNRichText.
//
// An item object is either attached to an item of an open note (from LNNote::GetItem or
// CreateItem): then reading and changing it reads and changes the note's item, and copies of it
// refer to the same item. Or it is free standing: it holds its own values (copies are
// independent), ready to be stored with LNNote::CreateItem.
//
// The class library writes list types: text lists (1281), number lists (769) and date-time lists
// (1024+1 = 1025), and GetType reports single-value items (1280, 768, 1024) by their list type.
#pragma once

#include "notes/lndatetime.h"

#include <memory>
#include <string>

class LNNote;
class LNRTCursor;

typedef WORD LNITEMTYPE;
#define LNITEMTYPE_ERROR ((LNITEMTYPE)TYPE_ERROR)
#define LNITEMTYPE_TEXT ((LNITEMTYPE)TYPE_TEXT_LIST)
#define LNITEMTYPE_NUMBERS ((LNITEMTYPE)TYPE_NUMBER_RANGE)
#define LNITEMTYPE_DATETIMES ((LNITEMTYPE)TYPE_TIME_RANGE)
#define LNITEMTYPE_RICHTEXT ((LNITEMTYPE)TYPE_COMPOSITE)
#define LNITEMTYPE_NOTEREFS ((LNITEMTYPE)TYPE_NOTEREF_LIST)
#define LNITEMTYPE_OBJECT ((LNITEMTYPE)TYPE_OBJECT)
#define LNITEMTYPE_MIME_PART ((LNITEMTYPE)TYPE_MIME_PART)

typedef WORD LNITEMFLAGS;
#define LNITEMFLAGS_SIGN ((LNITEMFLAGS)ITEM_SIGN)
#define LNITEMFLAGS_SEAL ((LNITEMFLAGS)ITEM_SEAL)
#define LNITEMFLAGS_SUMMARY ((LNITEMFLAGS)ITEM_SUMMARY)
#define LNITEMFLAGS_READERS ((LNITEMFLAGS)ITEM_READERS)
#define LNITEMFLAGS_AUTHORS ((LNITEMFLAGS)ITEM_READWRITERS)
#define LNITEMFLAGS_NAMES ((LNITEMFLAGS)ITEM_NAMES)
#define LNITEMFLAGS_PROTECTED ((LNITEMFLAGS)ITEM_PROTECTED)

// How LNNote::CreateItem treats items that already have the name.
typedef unsigned long LNITEMOPTION;
#define LNITEMOPTION_DELETE_APPEND 0x10000UL // delete them, append the new item last
#define LNITEMOPTION_DELETE_INSERT 0x20000UL // replace the first in place, delete the others
#define LNITEMOPTION_APPEND_ONLY 0x40000UL   // keep them, append the new item last

struct LNItemBody; // the stand-in's item state

class LNItem {
public:
    LNItem();
    LNItem(const LNItem& other);
    LNItem& operator=(const LNItem& other);
    virtual ~LNItem();

    LNString GetName() const;
    LNITEMTYPE GetType() const; // list types for single values (see above); ERROR when empty
    WORD GetNotesType() const;  // the stored Notes type code
    LNITEMFLAGS GetFlags() const;
    LNSTATUS SetFlags(LNITEMFLAGS flags);
    LNINT GetValueSize() const; // bytes of the stored value
    LNBOOL IsNull() const;      // neither attached nor holding a value
    LNBOOL IsAttached() const;  // refers to an item of an open note

    // Stand-in extension: the raw value (without the type word), and its replacement.
    std::string GetRawValue() const;
    LNSTATUS SetRawValue(WORD notesType, const std::string& value);

protected:
    // The type this class stores; 0 for a plain LNItem (any type).
    virtual WORD StoredType() const { return 0; }
    // Whether this class can view an item of the given Notes type.
    virtual bool Accepts(WORD notesType) const;
    LNSTATUS Read(WORD* type, std::string* value) const;
    // The value of a free-standing item in place (null for an attached one), for reads that need no copy.
    const std::string* Peek(WORD* type) const;
    LNSTATUS Write(WORD type, std::string value);
    // Takes item over when this class accepts its type; otherwise becomes empty (LNERR_ITEM_TYPE).
    void AssignChecked(const LNItem& item);

private:
    friend class LNNote;
    friend class LNVFEntry;
    // Makes this a free-standing value of the given type, reusing its own storage when no other item
    // shares it (a view's column values read one after another into one item allocate nothing).
    void AssignRaw(WORD notesType, const char* bytes, std::size_t length);
    std::shared_ptr<LNItemBody> body_;
};

class LNText : public LNItem {
public:
    LNText() = default;
    LNText(const LNString& value) { SetValue(value); }
    LNText& operator=(const LNItem& item);

    LNINT GetCount() const;
    LNString operator[](LNINT index) const; // empty when out of range
    LNSTATUS GetText(LNINT index, LNString* text) const;
    LNSTATUS Append(const LNString& text);
    LNSTATUS Append(const LNText& texts);
    LNSTATUS Insert(LNINT position, const LNString& text);
    LNSTATUS Delete(LNINT position, LNINT count = 1);
    LNSTATUS DeleteAll();
    LNSTATUS SetValue(const LNString& text);
    // Position of the first value equal to `text`: LNNOERROR, or LNWARN_NOT_FOUND.
    LNSTATUS FindEntry(const LNString& text, LNINT* position = 0,
                       LNSTRINGCOMPAREFLAGS flags = LNSTRINGCOMPAREFLAGS_DEFAULT) const;
    LNText& operator<<(const LNString& text);
    // The values joined by separator.
    LNSTATUS GetText(LNString* text, const LNString& separator = "; ") const;

protected:
    WORD StoredType() const override { return TYPE_TEXT_LIST; }
    bool Accepts(WORD notesType) const override;
};

class LNNumbers : public LNItem {
public:
    LNNumbers() = default;
    LNNumbers& operator=(const LNItem& item);

    LNINT GetCount() const;
    LNNUMBER operator[](LNINT index) const; // 0 when out of range
    LNSTATUS Append(LNNUMBER value);
    LNSTATUS Insert(LNINT position, LNNUMBER value);
    LNSTATUS Delete(LNINT position, LNINT count = 1);
    LNSTATUS DeleteAll();
    LNSTATUS SetValue(LNNUMBER value);
    LNNumbers& operator<<(LNNUMBER value);

protected:
    WORD StoredType() const override { return TYPE_NUMBER_RANGE; }
    bool Accepts(WORD notesType) const override;
};

class LNDatetimes : public LNItem {
public:
    LNDatetimes() = default;
    LNDatetimes& operator=(const LNItem& item);

    LNINT GetCount() const; // dates and ranges
    LNINT GetDatetimeCount() const;
    LNINT GetDatetimeRangeCount() const;
    LNDatetime operator[](LNINT index) const; // the index-th single date; null when out of range
    LNSTATUS GetDatetime(LNINT index, LNDatetime* value) const;
    LNSTATUS GetDatetimeRange(LNINT index, LNDatetimeRange* range) const;
    LNSTATUS Append(const LNDatetime& value);
    LNSTATUS Append(const LNDatetimeRange& range);
    LNSTATUS Insert(LNINT position, const LNDatetime& value);
    LNSTATUS DeleteAll();
    LNSTATUS SetValue(const LNDatetime& value);
    LNDatetimes& operator<<(const LNDatetime& value);

protected:
    WORD StoredType() const override { return TYPE_TIME_RANGE; }
    bool Accepts(WORD notesType) const override;
};

// Rich text: runs of (styled) text, paragraph breaks, links, graphics and attachment references.
// GetText gives the plain text: "\n" between paragraphs, a link's text included, graphics and
// attachment references give nothing. The objects are walked with GetCursor (notes/lnrichtext.h).
class LNRichText : public LNItem {
public:
    LNRichText() = default;
    LNRichText& operator=(const LNItem& item);

    LNSTATUS GetText(LNString* text) const;
    LNString GetText() const;
    LNSTATUS Append(const LNString& text); // "\n" starts a new paragraph
    LNSTATUS SetValue(const LNString& text);
    LNSTATUS DeleteAll();

    LNSTATUS GetCursor(LNRTCursor* cursor) const;
    // styleFlags: 1 bold, 2 italic, 4 underline; points 0: the default size; rgb 0x00RRGGBB or
    // 0xFF000000 for the default colour. Later plain runs go back to the default style.
    LNSTATUS AppendStyledText(const LNString& text, WORD styleFlags, LNINT points = 0,
                              DWORD rgb = 0xFF000000);
    LNSTATUS AppendParagraph();
    LNSTATUS AppendLink(const LNString& url, const LNString& text);
    // mimeType "image/gif", "image/png" or "image/jpeg"; width and height in pixels (0..65535).
    LNSTATUS AppendGraphic(const std::string& bytes, const LNString& mimeType, LNINT width, LNINT height);
    LNSTATUS AppendAttachmentReference(const LNString& attachmentName);

protected:
    WORD StoredType() const override { return TYPE_COMPOSITE; }
    bool Accepts(WORD notesType) const override { return notesType == TYPE_COMPOSITE; }
};
