// View designs and the sort keys of their index rows. The index itself (rows per view and
// collation, the ordered-id and unread caches) is ViewIndex, owned by each Database.
#pragma once

#include "notes/capi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace notes {

class Database;
class Note;

// ---- views ---------------------------------------------------------------------------------
// A view's design, read from the items of its view note (see the README for the item names).
// Column flags:
constexpr DWORD kColSorted = 0x0001;
constexpr DWORD kColDescending = 0x0002;
constexpr DWORD kColCategory = 0x0004;        // one level of categories (the first sorted column)
constexpr DWORD kColSeparateEntries = 0x0008; // each value of the column makes an entry of its own
constexpr DWORD kColCaseSensitive = 0x0010;
constexpr DWORD kColCommonName = 0x0020;       // hierarchical names show (and sort) as common names
constexpr DWORD kColResortAscending = 0x0100;  // the column heading offers an ascending collation
constexpr DWORD kColResortDescending = 0x0200; // ... and a descending one

struct ViewColumn {
    std::string title;
    std::vector<std::string> items; // the column shows the values of these items, in this order
    DWORD flags = 0;
    // Without items a formula gives the value: @DocLength (and the mail template's size formula) the
    // document's size, @Created / @Modified its times; other formulas are kept, not evaluated.
    std::string formula;
};

struct ViewDesign {
    NOTEID id = 0;
    std::string title; // "$TITLE": name, then aliases after '|'
    bool folder = false;
    std::vector<std::string> forms;    // selection: documents of these forms (none: every document)
    std::vector<std::string> items;    // ... that have all these items
    std::vector<std::string> notItems; // ... and none of these
    std::vector<ViewColumn> columns;

    std::string name() const;                    // title up to the first '|'
    bool answersTo(std::string_view name) const; // name or an alias, ignoring case
    // Collation 0 is the columns' own sort order; every re-sortable column heading adds one
    // (ascending before descending), in column order.
    WORD collationCount() const;
};

struct ViewRow {
    NOTEID note = 0;
    std::string key;      // sort key of the collation (bytes compare in view order)
    std::string category; // category text; empty when the view has no categories
};

bool readViewDesign(const Note& note, ViewDesign* out);
void writeViewDesign(const ViewDesign& design, Note* note); // replaces the design items
// Text as views compare it unless a column is case-sensitive: lower case, accents dropped.
std::string collateFold(std::string_view text);
// The sort key prefix that finds `key` in the first sorted column of a collation; partial finds
// every key that starts with it.
std::string viewFindKey(const ViewDesign& design, WORD collation, std::string_view key, bool partial);

// Whether a collation of the view has categories (only collation 0 of a categorised view does).
bool viewCategorized(const ViewDesign& design, WORD collation);
// The column values of a view's documents as its index keeps them: per column the first value of
// its items (or formula), undisplayed (names in full).
// Held column by column, each column's values in one buffer found by note id (ids are small multiples
// of 4): labelling a large view's page edges reads one column, whose values stay close together in
// memory, rather than whole rows scattered over all of them.
class ViewValues {
public:
    void reserve(NOTEID lastId); // room for documents up to this id, so adding never moves values
    void add(NOTEID id, std::string_view encoded); // a document's values as columnValue reads them
    bool has(NOTEID id) const;
    // The value of `column` for a document that has values: as columnValue; false past its columns.
    bool value(NOTEID id, std::size_t column, WORD* type, std::string_view* bytes) const;

private:
    friend class ViewColumnOrder;
    // A value of up to eight bytes (a time, a number) is held in its cell, so reading it touches one
    // place in memory; a longer one is found in the column's buffer.
    struct Cell {
        std::uint64_t payload = 0; // the value's bytes, or where they start in the column's buffer
        std::uint32_t length = 0;
        WORD type = 0;
        bool present = false;
        bool rowKnown = false; // in a column's order: the document has values at all
    };
    struct Column {
        std::vector<Cell> cells; // by note id / 4
        std::string bytes;
    };
    std::vector<bool> rows_; // by note id / 4: the document has values
    std::vector<Column> columns_;
    std::size_t reserved_ = 0;
};
// One column's values in the order of a reading of a collation, found by position: labelling the
// pages of a large view reads them in order, one array read each, instead of looking every entry's
// document up. Longer values stay in (and keep alive) the values they came from.
class ViewColumnOrder {
public:
    ViewColumnOrder(std::shared_ptr<const ViewValues> values, std::shared_ptr<const std::vector<NOTEID>> ids,
                    std::size_t column);
    // The reading of the collation these positions are of.
    const std::vector<NOTEID>* ids() const { return ids_.get(); }
    // As ViewValues::value by position; *known false when the entry's document has no values.
    bool value(std::size_t position, bool* known, WORD* type, std::string_view* bytes) const {
        const ViewValues::Cell& cell = cells_[position];
        *known = cell.rowKnown;
        if (!cell.present) {
            return false;
        }
        *type = cell.type;
        *bytes = cell.length <= sizeof cell.payload
                     ? std::string_view(reinterpret_cast<const char*>(&cell.payload), cell.length)
                     : std::string_view(*bytes_).substr(static_cast<std::size_t>(cell.payload), cell.length);
        return true;
    }

    // Asks for a position's value to be brought into the cache ahead of its read.
    void prefetch(std::size_t position) const {
        if (position < cells_.size()) {
            __builtin_prefetch(&cells_[position]);
        }
    }

private:
    std::shared_ptr<const ViewValues> values_;
    std::shared_ptr<const std::vector<NOTEID>> ids_;
    const std::string* bytes_ = nullptr;
    std::vector<ViewValues::Cell> cells_;
};

// The value of `column` in a document's kept values: its type (TYPE_TEXT, TYPE_NUMBER, TYPE_TIME;
// 0 when the column shows nothing) and bytes (the text, a double, a TIMEDATE); false past the end.
bool columnValue(std::string_view encoded, std::size_t column, WORD* type, std::string_view* value);

// A database's view index: every entry of every collation of every view is a row whose sort key
// compares (as bytes) in view order. Saving a document rewrites its rows in the same transaction;
// a changed view design is rebuilt on first use. The ordered ids of a view come from a
// process-wide cache per file.
class ViewIndex {
public:
    explicit ViewIndex(Database& store) : store_(store) {}
    ViewIndex(const ViewIndex&) = delete;
    ViewIndex& operator=(const ViewIndex&) = delete;

    // Design notes by class and name ($TITLE or an alias, ignoring case): ERR_NOT_FOUND if none.
    STATUS findDesign(WORD noteClass, std::string_view name, NOTEID* out);
    STATUS viewDesign(NOTEID view, ViewDesign* out);
    // Rebuilds a view's index when its design changed since the last build (or it never was).
    STATUS ensureViewIndex(NOTEID view);
    // ensureViewIndex, then ERR_BAD_COLLATION unless the view has `collation`.
    STATUS readyCollation(NOTEID view, WORD collation);
    STATUS viewRows(NOTEID view, WORD collation, std::vector<ViewRow>* out);
    STATUS viewMatches(NOTEID view, WORD collation, const std::string& prefix, std::vector<NOTEID>* out);
    STATUS viewOrderedNoteIds(NOTEID view, WORD collation, std::vector<NOTEID>* out);
    STATUS viewOrderedNoteIds(NOTEID view, WORD collation, std::shared_ptr<const std::vector<NOTEID>>* out);
    STATUS viewNoteIds(NOTEID view, std::vector<NOTEID>* out);
    STATUS viewMembers(NOTEID view, std::shared_ptr<const std::vector<NOTEID>>* out);
    // Every document's kept column values, shared per file until anything in it changes.
    STATUS viewValues(NOTEID view, std::shared_ptr<const ViewValues>* out);
    // One column of `values` in the order of `ids` (a reading of the collation), shared per file like
    // the reading itself; built afresh for a reading that is no longer the shared one.
    STATUS viewColumnOrder(NOTEID view, WORD collation, std::size_t column,
                           const std::shared_ptr<const std::vector<NOTEID>>& ids,
                           const std::shared_ptr<const ViewValues>& values,
                           std::shared_ptr<const ViewColumnOrder>* out);
    STATUS changeFolder(NOTEID folder, const std::vector<NOTEID>& add, const std::vector<NOTEID>& remove);

    // Within the store's transaction, under its mutex:
    STATUS indexNoteLocked(NOTEID id, const Note& note); // a document's rows in every view
    STATUS bumpDesignVersionLocked();                    // a view design changed
    // A view note was saved: its index follows the new design at once (only the new collations when
    // that is all that changed), so no reader waits for a rebuild. `before` is the design it had, if
    // any, and beforeSequence the note sequence of that design.
    STATUS viewSavedLocked(NOTEID view, const Note& note, const ViewDesign* before, DWORD beforeSequence);

private:
    STATUS designsLocked(const std::vector<ViewDesign>** out); // every view's design, cached
    STATUS indexInViewLocked(const ViewDesign& design, NOTEID id, const Note& note);
    STATUS rebuildViewLocked(const ViewDesign& design, DWORD sequence);
    STATUS addCollationsLocked(const ViewDesign& before, const ViewDesign& after, bool* done);
    STATUS markBuiltLocked(NOTEID view, DWORD sequence);
    STATUS stepViewNoteLocked(const char* sql, NOTEID view, NOTEID id);
    STATUS insertRowLocked(NOTEID view, WORD collation, const std::string& key, NOTEID id,
                           const std::string* category);
    STATUS readOrderedNoteIdsLocked(NOTEID view, WORD collation,
                                    std::shared_ptr<const std::vector<NOTEID>>* out);
    STATUS readMembersLocked(NOTEID view, std::vector<NOTEID>* out);
    STATUS catchUpMembersLocked(NOTEID view, std::int64_t since, std::vector<NOTEID>* ids);

    Database& store_;
    std::vector<ViewDesign> designs_;
    std::string designVersion_ = "-"; // of designs_; meta "design_version" changes with every view design
};

} // namespace notes
