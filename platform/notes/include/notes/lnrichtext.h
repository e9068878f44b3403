// Objects inside a rich-text item: text runs, paragraph breaks, links, graphics and attachment
// references, walked with an LNRTCursor got from LNRichText::GetCursor.
//
// Objects and cursors are values: they hold what the item held when the cursor was made.
#pragma once

#include "notes/lnitem.h"

#include <memory>
#include <string>

typedef WORD LNRTTYPE;
#define LNRTTYPE_TEXT 1
#define LNRTTYPE_PARAGRAPH 2
#define LNRTTYPE_LINK 5
#define LNRTTYPE_GRAPHIC 8
#define LNRTTYPE_ATTACHMENT 9

// Style flags of LNRichText::AppendStyledText.
#define LNFONTSTYLE_BOLD 1
#define LNFONTSTYLE_ITALIC 2
#define LNFONTSTYLE_UNDERLINE 4
#define LNCOLOR_DEFAULT 0xFF000000UL

struct LNRTObjectBody;

class LNRTObject {
public:
    LNRTObject();
    LNRTObject(const LNRTObject& other);
    LNRTObject& operator=(const LNRTObject& other);
    virtual ~LNRTObject();

    LNRTTYPE GetRTType() const; // 0 for an empty object
    LNBOOL IsNull() const;
    // Run text, a link's URL or an attachment reference's file name ("" for others).
    LNString GetText() const;

protected:
    friend class LNRTCursor;
    std::shared_ptr<const LNRTObjectBody> body_;
};

class LNGraphic : public LNRTObject {
public:
    LNGraphic() = default;
    LNGraphic(const LNRTObject& object);
    LNGraphic& operator=(const LNRTObject& object);

    // The image bytes as stored, and their MIME type ("image/gif", ...). LNERR_NULL_OBJECT when
    // this is not a graphic.
    LNSTATUS GetBitmap(std::string* bytes, LNString* mimeType = 0) const;
    LNINT GetWidth() const;
    LNINT GetHeight() const;
};

struct LNRTCursorBody;

class LNRTCursor {
public:
    LNRTCursor();
    LNRTCursor(const LNRTCursor& other);
    LNRTCursor& operator=(const LNRTCursor& other);
    ~LNRTCursor();

    // Moves to the first (next) object of the type and copies it into object; LNWARN_NOT_FOUND
    // when there is none (the position stays).
    LNSTATUS GotoFirst(LNRTTYPE type, LNRTObject* object = 0);
    LNSTATUS GotoNext(LNRTTYPE type, LNRTObject* object = 0);

private:
    friend class LNRichText;
    LNSTATUS Goto(std::size_t from, LNRTTYPE type, LNRTObject* object);
    std::shared_ptr<LNRTCursorBody> body_;
};
