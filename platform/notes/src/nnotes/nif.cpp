// View collections and folder contents of the C API, read from the view index.
#include "runtime.h"
#include "store.h"

#include <algorithm>
#include <cstring>

namespace {

std::shared_ptr<notes::Database> sameDatabase(DBHANDLE hData, DBHANDLE hFolder) {
    return hData == hFolder || hData == NULLHANDLE ? notes::handles::database(hFolder) : nullptr;
}

STATUS folderChange(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folder, DHANDLE hTable, bool add) {
    const auto db = sameDatabase(hDataDB, hFolderDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    std::vector<NOTEID> ids;
    if (!notes::idtable::read(hTable, &ids)) {
        return ERR_INVALID_HANDLE;
    }
    return add ? db->changeFolder(folder, ids, {}) : db->changeFolder(folder, {}, ids);
}

STATUS readEntries(HCOLLECTION hCollection, COLLECTIONPOSITION* indexPos, WORD skipNavigator, DWORD skipCount,
                   DWORD returnCount, DWORD returnMask, DWORD maxRead, DHANDLE* rethBuffer,
                   DWORD* retBufferLength, DWORD* retNumEntriesSkipped, DWORD* retNumEntriesReturned,
                   WORD* retSignalFlags) {
    const auto c = notes::handles::collection(hCollection);
    if (!c) {
        return ERR_INVALID_HANDLE;
    }
    if (indexPos == nullptr) {
        return ERR_INVALID_PARAM;
    }
    // One note id per document entry (a document with several entries comes several times).
    std::shared_ptr<const std::vector<NOTEID>> shared;
    if (STATUS s = c->db->viewOrderedNoteIds(c->view, c->collation, &shared); s != NOERROR) {
        return s;
    }
    const std::vector<NOTEID>& ids = *shared;
    const DWORD total = static_cast<DWORD>(ids.size());
    DWORD at = indexPos->Tumbler[0] > total ? total : indexPos->Tumbler[0];
    DWORD skipped = 0;
    if (skipNavigator != NAVIGATE_CURRENT) {
        skipped = std::min<DWORD>(skipCount, total - at);
        at = skipped < skipCount ? total + 1 : at + skipped; // skipping past the end leaves nothing to read
    }
    DWORD count = 0;
    std::vector<char> bytes;
    if (at >= 1 && at <= total && (returnMask & READ_MASK_NOTEID)) {
        count = std::min<DWORD>({returnCount, total - at + 1, maxRead});
        bytes.resize(static_cast<std::size_t>(count) * sizeof(NOTEID));
        std::memcpy(bytes.data(), ids.data() + (at - 1), bytes.size());
    }
    if (count > 0) {
        indexPos->Level = 0;
        indexPos->Tumbler[0] = at + count - 1;
    } else {
        indexPos->Tumbler[0] = std::min(at, total);
    }
    if (rethBuffer) {
        *rethBuffer = count > 0 ? notes::handles::addMemory(std::move(bytes)) : NULLHANDLE;
    }
    if (retBufferLength) {
        *retBufferLength = count * static_cast<DWORD>(sizeof(NOTEID));
    }
    if (retNumEntriesSkipped) {
        *retNumEntriesSkipped = skipped;
    }
    if (retNumEntriesReturned) {
        *retNumEntriesReturned = count;
    }
    if (retSignalFlags) {
        *retSignalFlags = count > 0 && at + count - 1 < total ? SIGNAL_MORE_TO_DO : 0;
    }
    return NOERROR;
}

} // namespace

extern "C" {

STATUS NIFFindView(DBHANDLE hFile, const char* name, NOTEID* retNoteID) {
    const auto db = notes::handles::database(hFile);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (name == nullptr || retNoteID == nullptr) {
        return ERR_INVALID_PARAM;
    }
    return db->findDesign(NOTE_CLASS_VIEW, name, retNoteID);
}

STATUS NIFOpenCollection(DBHANDLE hViewDB, DBHANDLE hDataDB, NOTEID viewNoteID, WORD, DHANDLE,
                         HCOLLECTION* rethCollection, NOTEHANDLE* rethViewNote, UNID* retViewUNID,
                         DHANDLE* rethCollapsedList, DHANDLE* rethSelectedList) {
    const auto db = notes::handles::database(hViewDB);
    if (!db || (hDataDB != hViewDB && hDataDB != NULLHANDLE)) {
        return ERR_INVALID_HANDLE;
    }
    if (rethCollection == nullptr) {
        return ERR_INVALID_PARAM;
    }
    notes::ViewDesign design;
    if (STATUS s = db->viewDesign(viewNoteID, &design); s != NOERROR) {
        return s;
    }
    if (STATUS s = db->ensureViewIndex(viewNoteID); s != NOERROR) {
        return s;
    }
    if (retViewUNID) {
        notes::NoteInfo info;
        if (STATUS s = db->info(viewNoteID, &info); s != NOERROR) {
            return s;
        }
        *retViewUNID = info.unid;
    }
    for (DHANDLE* h : {rethViewNote, rethCollapsedList, rethSelectedList}) {
        if (h) {
            *h = NULLHANDLE;
        }
    }
    auto c = std::make_shared<notes::Collection>();
    c->db = db;
    c->view = viewNoteID;
    *rethCollection = notes::handles::addCollection(std::move(c));
    return NOERROR;
}

STATUS NIFSetCollation(HCOLLECTION hCollection, WORD collationNum) {
    const auto c = notes::handles::collection(hCollection);
    if (!c) {
        return ERR_INVALID_HANDLE;
    }
    notes::ViewDesign design;
    if (STATUS s = c->db->viewDesign(c->view, &design); s != NOERROR) {
        return s;
    }
    if (collationNum >= design.collationCount()) {
        return ERR_BAD_COLLATION;
    }
    c->collation = collationNum;
    return NOERROR;
}

STATUS NIFReadEntries(HCOLLECTION hCollection, COLLECTIONPOSITION* indexPos, WORD skipNavigator,
                      DWORD skipCount, WORD, DWORD returnCount, DWORD returnMask, DHANDLE* rethBuffer,
                      WORD* retBufferLength, DWORD* retNumEntriesSkipped, DWORD* retNumEntriesReturned,
                      WORD* retSignalFlags) {
    DWORD length = 0;
    const STATUS s =
        readEntries(hCollection, indexPos, skipNavigator, skipCount, returnCount, returnMask, NIF_MAX_READ,
                    rethBuffer, &length, retNumEntriesSkipped, retNumEntriesReturned, retSignalFlags);
    if (s == NOERROR && retBufferLength) {
        *retBufferLength = static_cast<WORD>(length);
    }
    return s;
}

STATUS NIFReadEntriesExt(HCOLLECTION hCollection, COLLECTIONPOSITION* indexPos, WORD skipNavigator,
                         DWORD skipCount, WORD, DWORD returnCount, DWORD returnMask, DHANDLE* rethBuffer,
                         DWORD* retBufferLength, DWORD* retNumEntriesSkipped, DWORD* retNumEntriesReturned,
                         WORD* retSignalFlags) {
    return readEntries(hCollection, indexPos, skipNavigator, skipCount, returnCount, returnMask,
                       0xFFFFFFFFUL / sizeof(NOTEID), rethBuffer, retBufferLength, retNumEntriesSkipped,
                       retNumEntriesReturned, retSignalFlags);
}

STATUS NIFCloseCollection(HCOLLECTION hCollection) {
    return notes::handles::closeCollection(hCollection);
}

STATUS FolderDocAdd(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DHANDLE hTable, DWORD) {
    return folderChange(hDataDB, hFolderDB, folderNoteID, hTable, true);
}

STATUS FolderDocRemove(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DHANDLE hTable, DWORD) {
    return folderChange(hDataDB, hFolderDB, folderNoteID, hTable, false);
}

STATUS FolderDocCount(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DWORD, DWORD* pdwNumDocs) {
    DHANDLE table = NULLHANDLE;
    if (pdwNumDocs == nullptr) {
        return ERR_INVALID_PARAM;
    }
    if (STATUS s = NSFFolderGetIDTable(hFolderDB, hDataDB, folderNoteID, 0, &table); s != NOERROR) {
        return s;
    }
    *pdwNumDocs = IDEntries(table);
    IDDestroyTable(table);
    return NOERROR;
}

STATUS NSFFolderGetIDTable(DBHANDLE hViewDB, DBHANDLE hDataDB, NOTEID viewNoteID, DWORD, DHANDLE* rethTable) {
    const auto db = sameDatabase(hDataDB, hViewDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (rethTable == nullptr) {
        return ERR_INVALID_PARAM;
    }
    notes::ViewDesign design;
    if (STATUS s = db->viewDesign(viewNoteID, &design); s != NOERROR) {
        return s;
    }
    // Kept up to date from the file's membership log, so asking after each delivery costs the
    // delivery, not another reading of a large folder; handed out without a copy (the list is
    // copied instead when it next changes while the table lives).
    std::shared_ptr<const std::vector<NOTEID>> ids;
    if (STATUS s = db->viewMembers(viewNoteID, &ids); s != NOERROR) {
        return s;
    }
    *rethTable = notes::idtable::share(std::move(ids));
    return NOERROR;
}

} // extern "C"
