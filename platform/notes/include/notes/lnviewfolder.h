// Views and folders: LNViewFolder (a view or folder note with its entries), LNVFNavigator (a list
// of entries to walk: the whole view, the matches of Find, the results of FTSearch), LNVFEntry and
// LNVFPosition ("12", or "3.2" for the second document of the third category).
//
// A view folder reads its entries when first needed (GetEntryCount, GetEntries, a Goto...) and keeps
// that reading until Refresh or Close; the store keeps the index itself current as documents are
// saved and deleted. Entry counts count category entries too. Moving past either end answers
// LNWARN_NOT_FOUND (a warning, never thrown); so does a Find or GotoPosition without a match.
#pragma once

#include "notes/lnnote.h"

#include <memory>
#include <vector>

struct LNViewFolderBody;
struct LNVFSnapshot;

typedef unsigned long LNVFFINDOPTIONS;
#define LNVFFINDOPTIONS_DEFAULT 0x0UL // the key equals the first sorted column, ignoring case
#define LNVFFINDOPTIONS_PARTIAL 0x1UL // the first sorted column starts with the key

// Heading sort options of a column (LNViewColumn::SetHeadingSortOption): the column heading offers
// an ascending and/or descending collation of the view.
#define LNVCHEADINGSORT_NONE 0
#define LNVCHEADINGSORT_ASCENDING 256
#define LNVCHEADINGSORT_DESCENDING 512
#define LNVCHEADINGSORT_BOTH 768

// One column of a view's design, attached to its LNViewFolder: changes go to that view's design
// and are stored by LNViewFolder::Save. Setting a value the column already has changes nothing.
class LNViewColumn {
public:
    LNViewColumn() = default;

    LNBOOL IsNull() const;
    LNINT GetIndex() const { return index_; } // 0-based position in the view
    LNString GetTitle() const;
    LNSTATUS SetTitle(const LNString& title);
    // The item the column shows (several: separated by ';'); empty for a formula column.
    LNString GetFieldName() const;
    LNSTATUS SetFieldName(const LNString& name);
    LNString GetFormula() const;
    LNSTATUS SetFormula(const LNString& formula); // the column then shows the formula's value
    LNINT GetHeadingSortOption() const;           // LNVCHEADINGSORT_*
    LNSTATUS SetHeadingSortOption(LNINT option);  // anything but the four values: ERR_INVALID_PARAM
    LNBOOL IsSorted() const;
    LNBOOL IsSortDescending() const;

private:
    friend class LNViewFolder;
    std::shared_ptr<LNViewFolderBody> vf_;
    LNINT index_ = -1;
};

class LNVFPosition {
public:
    LNVFPosition() = default;
    // Numbers separated by '.' ("3.2"); anything else makes a null position.
    explicit LNVFPosition(const LNString& text);

    LNBOOL IsNull() const { return levels_.empty(); }
    LNINT GetLevelCount() const { return static_cast<LNINT>(levels_.size()); }
    LNINT operator[](LNINT level) const; // 1-based number at a level (0 = top); 0 when out of range
    LNString GetText(LNCHAR separator = '.') const;
    LNSTATUS GetText(LNString* text, LNCHAR separator = '.') const;

    friend bool operator==(const LNVFPosition& a, const LNVFPosition& b) { return a.levels_ == b.levels_; }
    friend bool operator!=(const LNVFPosition& a, const LNVFPosition& b) { return !(a == b); }

private:
    friend class LNVFNavigator;
    friend class LNVFEntry;
    friend struct LNVFSnapshot;
    std::vector<LNINT> levels_;
};

class LNVFEntry {
public:
    LNVFEntry() = default;

    LNBOOL IsNull() const;
    LNBOOL IsCategory() const;
    LNINT GetIndentLevel() const; // 0 for top-level entries
    NOTEID GetNoteID() const;     // 0 for a category
    LNString GetCategory() const; // the category text (of a category or of a document under one)
    // The entry's document, bound but not open (LNERR_NULL_OBJECT for a category).
    LNSTATUS GetDocument(LNDocument* doc) const;
    LNSTATUS GetUniversalID(LNUniversalID* unid) const;
    LNSTATUS GetPosition(LNVFPosition* position) const;
    // The value the entry's document shows in a column (0-based), as the view's index keeps it:
    // the first value of the column's items, names in full; a null item when the column shows
    // nothing. LNERR_NULL_OBJECT for a category, LNERR_INDEX_OUT_OF_RANGE past the last column.
    LNSTATUS GetColumnValue(LNINT column, LNItem* value) const;

private:
    friend class LNVFNavigator;
    friend class LNViewFolder;
    std::shared_ptr<const LNVFSnapshot> snap_;
    LNINT index_ = -1;
};

class LNVFNavigator {
public:
    LNVFNavigator() = default;

    LNINT GetEntryCount() const;
    LNVFEntry operator[](LNINT index) const; // a null entry when out of range
    LNSTATUS GotoFirst(LNVFEntry* entry = 0);
    LNSTATUS GotoNext(LNVFEntry* entry = 0);
    LNSTATUS GotoPrevious(LNVFEntry* entry = 0);
    LNSTATUS GotoLast(LNVFEntry* entry = 0);
    LNSTATUS GotoEntry(LNINT index, LNVFEntry* entry = 0);
    LNSTATUS GotoPosition(const LNVFPosition& position, LNVFEntry* entry = 0);
    LNSTATUS GotoPosition(const LNString& position, LNVFEntry* entry = 0);
    LNSTATUS GetEntry(LNVFEntry* entry) const;          // the current entry
    LNSTATUS GetPosition(LNVFPosition* position) const; // the current entry's position in the view

private:
    friend class LNViewFolder;
    LNSTATUS moveTo(LNINT index, LNVFEntry* entry);
    std::shared_ptr<const LNVFSnapshot> snap_;
    LNINT indexAt(LNINT index) const;
    std::vector<LNINT> entries_; // indexes into the view's entries, unless all_
    bool all_ = false;           // every entry of the view, in order
    LNINT current_ = -1;
};

class LNViewFolder : public LNNote {
public:
    LNViewFolder();
    LNViewFolder(const LNViewFolder& other);
    LNViewFolder& operator=(const LNViewFolder& other);
    ~LNViewFolder() override;

    // Opens the view note with its design; the entries are read when first needed.
    LNSTATUS Open(LNNOTEOPENFLAGS flags = LNNOTEOPENFLAGS_DEFAULT);
    LNSTATUS Close();
    // Drops the reading of the entries (read again when next needed) and reads the design again.
    LNSTATUS Refresh();

    LNString GetName() const; // the view's name, without aliases
    LNBOOL IsFolder() const;
    LNINT GetEntryCount();
    LNINT GetColumnCount() const;
    LNINT GetCollationCount() const;
    // Chooses the order in which entries are read (0: the view's own sort; more for re-sortable
    // column headings); reads the entries again.
    LNSTATUS SetCollation(WORD collation);
    WORD GetCollation() const;

    // Design. GetColumn by title (exact, case included) answers LNWARN_NOT_FOUND, a warning that is
    // never thrown, when the view has no such column.
    LNSTATUS GetColumn(const LNString& title, LNViewColumn* column);
    LNSTATUS GetColumn(LNINT index, LNViewColumn* column);
    // Appends an empty, unsorted column and binds column to it.
    LNSTATUS AppendColumn(LNViewColumn* column);
    // True while the design has changes that Save has not stored.
    LNBOOL IsDesignModified() const;
    // Stores design changes (and item changes) in the view note; without any, nothing is written.
    // The view's entries are read again on the next use.
    LNSTATUS Save(LNNOTESAVEFLAGS flags = LNNOTESAVEFLAGS_DEFAULT);

    // Folders only: puts a document in or takes it out (ERR_INVALID_NOTE for a view or for a note
    // that is not a live document); the entries are read again on the next use.
    LNSTATUS AddDocument(const LNDocument& doc);
    LNSTATUS AddDocument(NOTEID id);
    LNSTATUS RemoveDocument(const LNDocument& doc);
    LNSTATUS RemoveDocument(NOTEID id);
    // Whether a document is among the view's or folder's entries.
    LNBOOL Contains(NOTEID id);

    // Every entry, in view order.
    LNSTATUS GetEntries(LNVFNavigator* entries);
    // The note ids of every document entry in the current collation, in view order (no
    // categories), read straight from the index without building entries.
    LNSTATUS GetNoteIDs(std::vector<NOTEID>* ids);
    // Finds the first entry whose key (the first sorted column) matches; it becomes the current
    // entry. The navigator form lists every matching entry.
    LNSTATUS Find(const LNString& key);
    LNSTATUS Find(const LNString& key, LNVFNavigator* matches,
                  LNVFFINDOPTIONS options = LNVFFINDOPTIONS_DEFAULT);
    LNSTATUS Find(const LNString& key, LNVFPosition* position,
                  LNVFFINDOPTIONS options = LNVFFINDOPTIONS_DEFAULT);
    LNSTATUS Find(const LNString& key, LNVFEntry* entry, LNVFFINDOPTIONS options = LNVFFINDOPTIONS_DEFAULT);
    // The documents of the view that a full-text query matches, each once, in view order.
    // ERR_FT_QUERY when the query is not understandable.
    LNSTATUS FTSearch(const LNString& query, LNVFNavigator* results);

    // The view's own current entry.
    LNSTATUS GotoFirst(LNVFEntry* entry = 0);
    LNSTATUS GotoNext(LNVFEntry* entry = 0);
    LNSTATUS GotoPrevious(LNVFEntry* entry = 0);
    LNSTATUS GotoLast(LNVFEntry* entry = 0);
    LNSTATUS GotoPosition(const LNVFPosition& position, LNVFEntry* entry = 0);
    LNSTATUS GotoPosition(const LNString& position, LNVFEntry* entry = 0);
    LNSTATUS GetEntry(LNVFEntry* entry);
    LNSTATUS GetPosition(LNVFPosition* position);
    LNSTATUS GetCurrentPosition(LNVFPosition* position) { return GetPosition(position); }

private:
    friend class LNDatabase;
    friend class LNViewColumn;
    LNSTATUS load();       // reads the entries unless already read
    LNSTATUS readDesign(); // the stored design, unless edited and not saved
    LNSTATUS findIndex(const LNString& key, LNVFFINDOPTIONS options, std::vector<LNINT>* matches);
    std::shared_ptr<LNViewFolderBody> vf_;
};
