// The Notes C API of the stand-in client (library "nnotes").
//
// Plain functions named after the roles of the vendor's C API. Every function that can fail
// returns a 16-bit STATUS; its error code is ERR(status). Handles (databases, open notes, memory
// blocks) come from one process-wide handle table; a handle is never reused within a process.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
typedef WORD STATUS;
typedef DWORD DHANDLE;
typedef DHANDLE DBHANDLE;
typedef DHANDLE NOTEHANDLE;
typedef DHANDLE MEMHANDLE;
typedef DWORD NOTEID;
typedef void* HMODULE;
typedef double NUMBER;

#define NULLHANDLE ((DHANDLE)0)
#define NOERROR ((STATUS)0)
#define ERR_MASK 0x3FFF
#define ERR(s) ((STATUS)((s)&ERR_MASK))

// Sizes and limits.
#define MAXPATH 256
#define MAXUSERNAME 256
#define MAXSPRINTF 256

#pragma pack(push, 1)
// A point in time: Innards[0] = hundredths of a second since midnight GMT; Innards[1] = Julian day
// (bits 0-23), zone hours (bits 24-27), zone quarter hours (bits 28-29), zone is east of GMT
// (bit 30), daylight saving time in effect (bit 31). A date without time has Innards[0] == ALLDAY;
// a time without date has Innards[1] == ANYDAY (and Innards[0] counts local hundredths).
struct TIMEDATE {
    DWORD Innards[2];
};
struct TIMEDATE_PAIR {
    TIMEDATE Lower;
    TIMEDATE Upper;
};
typedef TIMEDATE DBID;
struct UNIVERSALNOTEID {
    DBID File;     // random per note
    TIMEDATE Note; // creation time
};
typedef UNIVERSALNOTEID UNID;
struct ORIGINATORID {
    DBID File;
    TIMEDATE Note;
    DWORD Sequence;
    TIMEDATE SequenceTime;
};
typedef ORIGINATORID OID;
struct LIST {
    WORD ListEntries;
};
struct RANGE {
    WORD ListEntries;
    WORD RangeEntries;
};
// A place inside a memory block: OSLockObject(pool) + block.
struct BLOCKID {
    DHANDLE pool;
    WORD block;
};
struct DBREPLICAINFO {
    DBID ID;
    WORD Flags;
    WORD CutoffInterval;
    TIMEDATE Cutoff;
};
// Broken-down time as the vendor's TIME record; zone is hours WEST of GMT, dst 1 = in effect.
struct TIME {
    int year;
    int month;
    int day;
    int weekday;
    int hour;
    int minute;
    int second;
    int hundredth;
    int dst;
    int zone;
    TIMEDATE GM;
};
#pragma pack(pop)

#define ALLDAY 0xFFFFFFFFu
#define ANYDAY 0xFFFFFFFFu

// Item types (the value of an item is stored without its type word; NSFItemInfo hands out
// type word + value).
#define TYPE_ERROR 0
#define TYPE_UNAVAILABLE 512
#define TYPE_TEXT 1280
#define TYPE_TEXT_LIST 1281
#define TYPE_NUMBER 768
#define TYPE_NUMBER_RANGE 769
#define TYPE_TIME 1024
#define TYPE_TIME_RANGE 1025
#define TYPE_COMPOSITE 1
#define TYPE_COLLATION 2
#define TYPE_OBJECT 3
#define TYPE_NOTEREF_LIST 4
#define TYPE_VIEW_FORMAT 5
#define TYPE_MIME_PART 25

// Item flags.
#define ITEM_SIGN 0x0001
#define ITEM_SEAL 0x0002
#define ITEM_SUMMARY 0x0004
#define ITEM_READWRITERS 0x0020
#define ITEM_NAMES 0x0040
#define ITEM_PLACEHOLDER 0x0100
#define ITEM_PROTECTED 0x0200
#define ITEM_READERS 0x0400

// Note classes.
#define NOTE_CLASS_DOCUMENT 0x0001
#define NOTE_CLASS_INFO 0x0002
#define NOTE_CLASS_FORM 0x0004
#define NOTE_CLASS_VIEW 0x0008
#define NOTE_CLASS_ICON 0x0010
#define NOTE_CLASS_DESIGN 0x0020
#define NOTE_CLASS_ACL 0x0040
#define NOTE_CLASS_HELP_INDEX 0x0080
#define NOTE_CLASS_HELP 0x0100
#define NOTE_CLASS_FILTER 0x0200
#define NOTE_CLASS_FIELD 0x0400
#define NOTE_CLASS_REPLFORMULA 0x0800
#define NOTE_CLASS_PRIVATE 0x1000
#define NOTE_CLASS_ALL 0x7FFF
#define NOTE_CLASS_NOTIFYDELETION 0x8000 // set on the class of a deletion stub

// Note open flags (NSFNoteOpen takes the low word, NSFNoteOpenExt all 32 bits).
#define OPEN_SUMMARY 0x0001
#define OPEN_NOVERIFYDEFAULT 0x0002
#define OPEN_EXPAND 0x0004
#define OPEN_NOOBJECTS 0x0008
#define OPEN_SHARE 0x0020
#define OPEN_CANONICAL 0x0040
#define OPEN_RAW_MIME 0x02000000 // accepted; MIME parts are always stored and handed out raw

// Note update flags.
#define UPDATE_FORCE 0x0001
#define UPDATE_NOCOMMIT 0x0100

// NSFNoteGetInfo members.
#define _NOTE_DB 0
#define _NOTE_ID 1
#define _NOTE_OID 2
#define _NOTE_CLASS 3
#define _NOTE_MODIFIED 4
#define _NOTE_FLAGS 7
#define _NOTE_ADDED_TO_FILE 13

// Database classes for NSFDbCreate.
#define DBCLASS_NOTEFILE 0xFF00

// Memory block types for OSMemAlloc.
#define BLK_MEM_ALLOC 0x0001

// Status codes raised by the stand-in. Texts: OSLoadString.
#define PKG_OS 0x0100
#define PKG_NSF 0x0200
#define PKG_NIF 0x0300
#define PKG_MISC 0x0400
#define PKG_NSF2 0x0500
#define PKG_CLIENT 0x0600
#define PKG_SERVER 0x0900
#define PKG_DNAME 0x0A00
#define PKG_LNCPP 0x3C00
#define PKG_SCHED 0x2800

#define ERR_INVALID_PARAM (PKG_OS + 1)         // 0x0101
#define ERR_EXISTS (PKG_OS + 2)                // 0x0102
#define ERR_NOEXIST (PKG_OS + 3)               // 0x0103
#define ERR_NOT_INITIALIZED (PKG_OS + 4)       // 0x0104
#define ERR_PATH_NOT_ALLOWED (PKG_OS + 5)      // 0x0105
#define ERR_INVALID_HANDLE (PKG_OS + 6)        // 0x0106
#define ERR_MEMORY (PKG_OS + 7)                // 0x0107
#define ERR_HANDLE_LOCKED (PKG_OS + 8)         // 0x0108
#define ERR_NO_DATA_DIRECTORY (PKG_OS + 9)     // 0x0109
#define ERR_IO (PKG_OS + 10)                   // 0x010A
#define ERR_BUFFER_TOO_SMALL (PKG_OS + 11)     // 0x010B
#define ERR_NOT_A_DATABASE (PKG_NSF + 1)       // 0x0201
#define ERR_DATABASE_DAMAGED (PKG_NSF + 2)     // 0x0202
#define ERR_DATABASE_BUSY (PKG_NSF + 3)        // 0x0203
#define ERR_ITEM_NOT_FOUND (PKG_NSF + 34)      // 0x0222
#define ERR_ITEM_NAME_TOO_LONG (PKG_NSF + 35)  // 0x0223
#define ERR_ITEM_VALUE_TOO_BIG (PKG_NSF + 36)  // 0x0224
#define ERR_INVALID_NOTE (PKG_NSF + 37)        // 0x0225
#define ERR_NOTE_DELETED (PKG_NSF + 38)        // 0x0226
#define ERR_INVALID_ITEM_VALUE (PKG_NSF + 39)  // 0x0227
#define ERR_NOT_FOUND (PKG_NIF + 4)            // 0x0304
#define ERR_BAD_COLLATION (PKG_NIF + 45)       // 0x032D
#define ERR_FT_QUERY (PKG_NIF + 60)            // 0x033C full-text query not understood
#define ERR_NAMESPACE_NOT_FOUND (PKG_NIF + 61) // 0x033D no directory has the name space
#define ERR_NO_DIRECTORY (PKG_NIF + 62)        // 0x033E no directory to look names up in
#define PKG_SECURE 0x0B00
#define ERR_PASSWORD_MISMATCH (PKG_SECURE + 1)     // 0x0B01
#define ERR_PASSWORD_TOO_LONG (PKG_SECURE + 2)     // 0x0B02
#define ERR_BAD_DIGEST (PKG_SECURE + 3)            // 0x0B03
#define ERR_TDI_CONV (PKG_MISC + 18)               // 0x0412
#define ERR_SERVER_NOT_RESPONDING (PKG_CLIENT + 3) // 0x0603
#define ERR_BAD_NAME (PKG_DNAME + 1)               // 0x0A01
#define ERR_FORM_NOT_FOUND (PKG_NSF2 + 11)         // 0x050B
#define ERR_NOT_AN_ATTACHMENT (PKG_NSF + 40)       // 0x0228 the item is not a file attachment
#define ERR_MIME_PART_TOO_BIG (PKG_NSF + 41)       // 0x0229 a MIME part's text exceeds 65535 bytes
#define ERR_MIME_PARSE (PKG_NSF + 42)              // 0x022A the message is not readable as MIME
#define ERR_NOACCESS (PKG_SERVER + 1)              // 0x0901 the database's access list refuses the user
#define ERR_SINCE_PURGED (PKG_NSF + 43)            // 0x022B deletions since that time were purged
#define ERR_SCHED_NO_USER (PKG_SCHED + 1)          // 0x2801 the name is no person of this server with mail
#define ERR_SCHED_BAD_INTERVAL (PKG_SCHED + 2)     // 0x2802 an interval that ends before it starts

// Statuses of the class library (lcppn30); their texts are in the same table.
#define LNERR_NOT_INITIALIZED (PKG_LNCPP + 1)     // 0x3C01
#define LNERR_API_VERSION (PKG_LNCPP + 2)         // 0x3C02
#define LNERR_DATABASE_NOT_OPEN (PKG_LNCPP + 3)   // 0x3C03
#define LNERR_NOTE_NOT_OPEN (PKG_LNCPP + 4)       // 0x3C04
#define LNERR_INVALID_UNID (PKG_LNCPP + 5)        // 0x3C05
#define LNERR_ITEM_TYPE (PKG_LNCPP + 6)           // 0x3C06
#define LNERR_ITEM_NOT_ATTACHED (PKG_LNCPP + 7)   // 0x3C07
#define LNERR_INDEX_OUT_OF_RANGE (PKG_LNCPP + 8)  // 0x3C08
#define LNERR_NULL_OBJECT (PKG_LNCPP + 9)         // 0x3C09
#define LNERR_DIFFERENT_DATABASE (PKG_LNCPP + 10) // 0x3C0A
#define LNERR_INVALID_DATETIME (PKG_LNCPP + 11)   // 0x3C0B

#ifdef __cplusplus
extern "C" {
#endif

typedef WORD (*CWF_ERROR_PROC)(const void* pCDField, WORD phase, STATUS error, DHANDLE hErrorText,
                               WORD wErrorTextSize, void* ctx);

// Runtime. Initialisation reads the configuration (data directory); see the README.
STATUS NotesInitExtended(int argc, char** argv);
void NotesTerm(void);
// Copies the data directory (with no trailing separator) into retPath (MAXPATH bytes); returns its length.
WORD OSGetDataDirectory(char* retPath);
// "server!!file" when server is not empty, else file.
STATUS OSPathNetConstruct(const char* portName, const char* serverName, const char* fileName, char* retPath);

// Memory.
STATUS OSMemAlloc(WORD blkType, DWORD size, DHANDLE* retHandle);
STATUS OSMemFree(DHANDLE handle);
STATUS OSMemGetSize(DHANDLE handle, DWORD* retSize);
void* OSLockObject(DHANDLE handle);
BOOL OSUnlockObject(DHANDLE handle);
#define OSLockBlock(type, blockid) ((type*)((char*)OSLockObject((blockid).pool) + (blockid).block))
#define OSUnlockBlock(blockid) OSUnlockObject((blockid).pool)

// Error texts: copies the text of ERR(code) into retBuffer, returns its length.
WORD OSLoadString(HMODULE hModule, STATUS stringCode, char* retBuffer, WORD bufferLength);

// Time.
void OSCurrentTIMEDATE(TIMEDATE* retTimeDate);
BOOL TimeLocalToGM(TIME* time);     // fields, zone, dst -> GM; FALSE on success
BOOL TimeGMToLocal(TIME* time);     // GM -> fields in the GM's own zone; FALSE on success
BOOL TimeGMToLocalZone(TIME* time); // GM -> fields in the zone and dst given in time
int TimeDateCompare(const TIMEDATE* t1, const TIMEDATE* t2); // <0, 0, >0
void TimeConstant(WORD type, TIMEDATE* td); // TIMEDATE_MINIMUM 0, TIMEDATE_MAXIMUM 1, WILDCARD 2
#define TIMEDATE_MINIMUM 0
#define TIMEDATE_MAXIMUM 1
#define TIMEDATE_WILDCARD 2
STATUS ConvertTextToTIMEDATE(const char* text, WORD maxLength, TIMEDATE* retTimeDate);
STATUS ConvertTIMEDATEToText(const void* intlFormat, const void* textFormat, const TIMEDATE* td,
                             char* retBuffer, WORD bufferLength, WORD* retLength);

// Hierarchical names.
STATUS DNAbbreviate(DWORD flags, const char* templateName, const char* inName, char* outName, WORD outSize,
                    WORD* outLength);
STATUS DNCanonicalize(DWORD flags, const char* templateName, const char* inName, char* outName, WORD outSize,
                      WORD* outLength);

// Databases. A path is "server!!file" or "file"; see the README for the rules.
STATUS NSFDbCreate(const char* pathName, WORD dbClass, BOOL forceCreation);
STATUS NSFDbDelete(const char* pathName);
STATUS NSFDbOpen(const char* pathName, DBHANDLE* rethDB);
STATUS NSFDbClose(DBHANDLE hDB);
STATUS NSFDbPathGet(DBHANDLE hDB, char* retCanonicalPathName, char* retExpandedPathName);
STATUS NSFDbReplicaInfoGet(DBHANDLE hDB, DBREPLICAINFO* retReplicationInfo);
STATUS NSFDbGetNoteInfo(DBHANDLE hDB, NOTEID noteID, ORIGINATORID* retNoteOID, TIMEDATE* retModified,
                        WORD* retNoteClass);
STATUS NSFDbGetNoteInfoByUNID(DBHANDLE hDB, const UNID* unid, NOTEID* retNoteID, ORIGINATORID* retOID,
                              TIMEDATE* retModified, WORD* retClass);
// ID table of the notes modified (or deleted) at or after `since`; retUntil receives the time to
// pass as `since` next time.
STATUS NSFDbGetModifiedNoteTable(DBHANDLE hDB, WORD noteClassMask, TIMEDATE since, TIMEDATE* retUntil,
                                 DHANDLE* rethTable);
// Unread lists, per user name (the stand-in's client user is ""). A new document is unread.
STATUS NSFDbGetUnreadNoteTable(DBHANDLE hDB, const char* userName, WORD userNameLength, BOOL create,
                               DHANDLE* rethUnreadList);
// Without an original table the user's unread list becomes hUnreadList; with one, only the
// differences between the two are applied (notes gone from it become read, new ones unread).
STATUS NSFDbSetUnreadNoteTable(DBHANDLE hDB, const char* userName, WORD userNameLength, BOOL flushToDisk,
                               DHANDLE hOriginalUnreadList, DHANDLE hUnreadList);

// ID tables: sets of note ids. The table is a memory handle; locked, it reads as a DWORD count
// followed by the ids in ascending order.
STATUS IDCreateTable(DWORD alignment, DHANDLE* rethTable);
STATUS IDDestroyTable(DHANDLE hTable);
STATUS IDInsert(DHANDLE hTable, NOTEID id, BOOL* retInserted);
STATUS IDDelete(DHANDLE hTable, NOTEID id, BOOL* retDeleted);
STATUS IDDeleteAll(DHANDLE hTable);
BOOL IDIsPresent(DHANDLE hTable, NOTEID id);
DWORD IDEntries(DHANDLE hTable);
// Steps through the ids in ascending order: first TRUE starts over; FALSE at the end.
BOOL IDScan(DHANDLE hTable, BOOL first, NOTEID* retID);

// Notes.
STATUS NSFNoteCreate(DBHANDLE hDB, NOTEHANDLE* rethNote);
STATUS NSFNoteOpen(DBHANDLE hDB, NOTEID noteID, WORD openFlags, NOTEHANDLE* rethNote);
STATUS NSFNoteOpenExt(DBHANDLE hDB, NOTEID noteID, DWORD flags, NOTEHANDLE* rethNote);
STATUS NSFNoteOpenByUNID(DBHANDLE hDB, const UNID* unid, WORD flags, NOTEHANDLE* rethNote);
STATUS NSFNoteUpdate(NOTEHANDLE hNote, WORD updateFlags);
STATUS NSFNoteClose(NOTEHANDLE hNote);
STATUS NSFNoteDelete(DBHANDLE hDB, NOTEID noteID, WORD updateFlags);
void NSFNoteGetInfo(NOTEHANDLE hNote, WORD member, void* valuePtr);
void NSFNoteSetInfo(NOTEHANDLE hNote, WORD member, const void* valuePtr);
STATUS NSFNoteComputeWithForm(NOTEHANDLE hNote, NOTEHANDLE hFormNote, DWORD dwFlags,
                              CWF_ERROR_PROC errorRoutine, void* callersContext);

// Items. A BLOCKID of an item is valid while its note is open; a value BLOCKID points at the
// type word followed by the value.
STATUS NSFItemAppend(NOTEHANDLE hNote, WORD itemFlags, const char* name, WORD nameLength, WORD dataType,
                     const void* value, DWORD valueLength);
STATUS NSFItemDelete(NOTEHANDLE hNote, const char* name, WORD nameLength);
BOOL NSFItemIsPresent(NOTEHANDLE hNote, const char* name, WORD nameLength);
STATUS NSFItemInfo(NOTEHANDLE hNote, const char* name, WORD nameLength, BLOCKID* retbhItem, WORD* retDataType,
                   BLOCKID* retbhValue, DWORD* retValueLength);
STATUS NSFItemInfoNext(NOTEHANDLE hNote, BLOCKID nextItem, const char* name, WORD nameLength,
                       BLOCKID* retbhItem, WORD* retDataType, BLOCKID* retbhValue, DWORD* retValueLength);
void NSFItemQuery(NOTEHANDLE hNote, BLOCKID bhItem, char* retItemName, WORD itemNameBufferLength,
                  WORD* retItemNameLength, WORD* retItemFlags, WORD* retDataType, BLOCKID* retbhValue,
                  DWORD* retValueLength);
// Item text: the values of a text, text list, number or time item joined by separator.
WORD NSFItemConvertToText(NOTEHANDLE hNote, const char* itemName, char* retBuffer, WORD bufferLength,
                          char separator);
// One member of a text list (or the text of a text item); returns its length, 0 if absent.
WORD NSFItemGetTextListEntry(NOTEHANDLE hNote, const char* itemName, WORD entryPos, char* retBuffer,
                             WORD bufferLength);
WORD NSFItemGetTextListEntries(NOTEHANDLE hNote, const char* itemName);

// View collections: the entries of a view in the order of a collation. Reading gives note ids
// of the documents (categories are not entries of a collection); positions count from 1, and a
// position of 0 stands before the first entry.
typedef DHANDLE HCOLLECTION;
#define MAXTUMBLERLEVELS 32
#pragma pack(push, 1)
struct COLLECTIONPOSITION {
    WORD Level;
    BYTE MinLevel;
    BYTE MaxLevel;
    DWORD Tumbler[MAXTUMBLERLEVELS];
};
#pragma pack(pop)
#define NAVIGATE_CURRENT 0 // stay (skip nothing)
#define NAVIGATE_NEXT 1    // move on by the count
#define READ_MASK_NOTEID 0x00000001
#define SIGNAL_MORE_TO_DO 0x0020 // more entries remain than one read returns
#define NIF_MAX_READ 16383       // note ids one read returns at most (the buffer length is a WORD)
// The note id of the view or folder of that name or alias (ignoring case); ERR_NOT_FOUND if none.
STATUS NIFFindView(DBHANDLE hFile, const char* name, NOTEID* retNoteID);
// hViewDB and hDataDB must be the same database; flags, the unread list and the returned view
// note, collapsed and selected lists are not used (they may be null).
STATUS NIFOpenCollection(DBHANDLE hViewDB, DBHANDLE hDataDB, NOTEID viewNoteID, WORD openFlags,
                         DHANDLE hUnreadList, HCOLLECTION* rethCollection, NOTEHANDLE* rethViewNote,
                         UNID* retViewUNID, DHANDLE* rethCollapsedList, DHANDLE* rethSelectedList);
// ERR_BAD_COLLATION for a number the view does not have (the collation stays as it was).
STATUS NIFSetCollation(HCOLLECTION hCollection, WORD collationNum);
// Skips skipCount entries from *indexPos (with NAVIGATE_NEXT), then returns up to returnCount
// note ids (a locked buffer of DWORDs; none: *rethBuffer is NULLHANDLE) and moves *indexPos to
// the last one returned.
STATUS NIFReadEntries(HCOLLECTION hCollection, COLLECTIONPOSITION* indexPos, WORD skipNavigator,
                      DWORD skipCount, WORD returnNavigator, DWORD returnCount, DWORD returnMask,
                      DHANDLE* rethBuffer, WORD* retBufferLength, DWORD* retNumEntriesSkipped,
                      DWORD* retNumEntriesReturned, WORD* retSignalFlags);
// As NIFReadEntries, without the per-read limit: returnCount NIF_READ_ALL (or anything at least
// the entry count) returns every remaining note id in one buffer whose length is a DWORD.
#define NIF_READ_ALL 0xFFFFFFFFUL
STATUS NIFReadEntriesExt(HCOLLECTION hCollection, COLLECTIONPOSITION* indexPos, WORD skipNavigator,
                         DWORD skipCount, WORD returnNavigator, DWORD returnCount, DWORD returnMask,
                         DHANDLE* rethBuffer, DWORD* retBufferLength, DWORD* retNumEntriesSkipped,
                         DWORD* retNumEntriesReturned, WORD* retSignalFlags);
STATUS NIFCloseCollection(HCOLLECTION hCollection);

// Folders: views whose members are listed explicitly. The tables are ID tables; dwFlags are not
// used. NSFFolderGetIDTable also answers for a view (its documents).
STATUS FolderDocAdd(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DHANDLE hTable, DWORD dwFlags);
STATUS FolderDocRemove(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DHANDLE hTable,
                       DWORD dwFlags);
STATUS FolderDocCount(DBHANDLE hDataDB, DBHANDLE hFolderDB, NOTEID folderNoteID, DWORD dwFlags,
                      DWORD* pdwNumDocs);
STATUS NSFFolderGetIDTable(DBHANDLE hViewDB, DBHANDLE hDataDB, NOTEID viewNoteID, DWORD flags,
                           DHANDLE* rethTable);

// Directory name lookup. Name spaces, names and items are packed as consecutive zero-terminated
// strings. The names are looked up in the "names.nsf" of serverName; with an empty serverName in
// the local data folder's "names.nsf", then in every server folder's (alphabetical), and the first
// directory holding matches for a name answers for it (NAME_LOOKUP_ALL: every directory answers).
// A name matches when it equals a key of a name space view, ignoring case. The buffer handle
// (free it with OSMemFree) holds, per name, its matches (documents) and for each match the items
// asked for; walk it with the NAMELocate calls on the locked buffer.
#define NAME_LOOKUP_ALL 0x0001
#define NAME_LOOKUP_NOSEARCHING 0x0002 // accepted, no effect
#define NAME_LOOKUP_EXHAUSTIVE 0x0020  // same as NAME_LOOKUP_ALL
#define NAME_MAX_NAMESPACES 16
#define NAME_MAX_ITEMS 64
STATUS NAMELookup2(const char* serverName, DWORD flags, WORD numNameSpaces, const char* nameSpaces,
                   WORD numNames, const char* names, WORD numItems, const char* items, DHANDLE* rethBuffer);
// The result of the name after pName (the first one when pName is null), or null after the last.
void* NAMELocateNextName2(void* pLookup, void* pName, WORD* retNumMatches);
// The match after pMatch of a name result (the first one when pMatch is null), or null.
void* NAMELocateNextMatch2(void* pLookup, void* pName, void* pMatch);
// The value of item number `item` (0-based, in the order asked for) of a match: the type word
// followed by the value, *retSize counting both; null when the document has no such item.
void* NAMELocateItem2(void* pMatch, WORD item, WORD* retDataType, WORD* retSize);
// One member of a text or text-list item of a match, zero-terminated in buffer (cut to bufLen).
STATUS NAMEGetTextItem2(void* pMatch, WORD item, WORD member, char* buffer, WORD bufLen);

// Passwords. A digest is Argon2id in PHC string form ("$argon2id$v=19$m=19456,t=2,p=1$salt$hash").
// Passwords longer than SEC_MAX_PASSWORD bytes are refused.
#define SEC_MAX_PASSWORD 1024
#define SEC_DIGEST_SIZE 128 // room for a digest made by SECHashPassword, with its zero
// NOERROR when the password matches the digest; ERR_PASSWORD_MISMATCH otherwise (also for an empty
// or malformed digest), ERR_PASSWORD_TOO_LONG for an over-long password. Compares in constant time.
STATUS SECVerifyPassword(WORD passwordLength, const BYTE* password, WORD digestLength, const BYTE* digest,
                         DWORD reservedFlags, void* reserved);
// Makes a digest with a fresh random salt; the text (not zero-terminated) goes to digest.
STATUS SECHashPassword(WORD passwordLength, const BYTE* password, WORD maxDigestLength, WORD* retDigestLength,
                       BYTE* digest, DWORD reservedFlags, void* reserved);

// ---- MIME parts and stored records ---------------------------------------------------------
#pragma pack(push, 1)
// A MIME part record as stored in a TYPE_MIME_PART item value (after the type word), followed by
// wByteCount bytes of text: boundary line (wBoundaryLen bytes), headers (wHeadersLen bytes, ending
// with the blank line), then the part's content as transfer-encoded in the source message.
struct MIME_PART {
    WORD wVersion; // 2
    DWORD dwFlags;
    BYTE cPartType; // MIME_PART_*
    BYTE cSpare;
    WORD wByteCount; // bytes of text after the record
    WORD wBoundaryLen;
    WORD wHeadersLen;
    WORD wSpare;
    DWORD dwSpare;
};
#pragma pack(pop)
#define _MIME_PART 0x027F
#define MIME_PART_VERSION 2
#define MIME_PART_PROLOG 1
#define MIME_PART_BODY 2
#define MIME_PART_EPILOG 3
#define MIME_PART_RETRIEVE_INFO 4
#define MIME_PART_MESSAGE 5
// MIME_PART dwFlags: with BODY_IN_DBOBJECT the text after the headers names the "$FILE" attachment
// that holds the part's decoded content.
#define MIME_PART_HAS_BOUNDARY 0x00000001
#define MIME_PART_HAS_HEADERS 0x00000002
#define MIME_PART_BODY_IN_DBOBJECT 0x00000004
// Stored (little-endian, packed) records to memory form; advances *ppSrc past `iterations` records.
void ODSReadMemory(void** ppSrc, WORD type, void* pDest, WORD iterations);
WORD ODSLength(WORD type); // stored size of one record of the type (0 for an unknown type)

// ---- file attachments ----------------------------------------------------------------------
// "$FILE" items (TYPE_OBJECT) whose bytes live in the store's objects table. Attachment numbers
// count from 0 in item order, the same order as LNNote::GetAttachments.
#define HOST_MASK 0x0F00
#define HOST_MSDOS 0x0000
#define HOST_UNIX 0x0300
#define HOST_STREAM 0x0F00
#define ATTRIB_READONLY 0x0001
#define ATTRIB_PRIVATE 0x0002
#define EFLAGS_MASK 0xF000
#define ENCODE_NONE 0
// FALSE: no such attachment. Every out parameter may be null.
BOOL MailGetMessageAttachmentInfo(NOTEHANDLE hMessage, WORD num, BLOCKID* bhItem,
                                  char* retFileName /* MAXPATH */, DWORD* retFileSize,
                                  WORD* retFileAttributes, WORD* retFileHostType, TIMEDATE* retFileCreated,
                                  TIMEDATE* retFileModified);
typedef STATUS (*NOTEEXTRACTCALLBACK)(const BYTE* bytes, DWORD length, void* param);
// Calls back with the bytes in chunks (at most 64 KiB each), then once more with length 0. A
// stored object shorter than the recorded size hands out what there is. fileName and flags are
// not used; a callback's error status ends the extraction and is returned.
STATUS NSFNoteExtractWithCallback(NOTEHANDLE hNote, BLOCKID bhItem, char* fileName, WORD flags,
                                  NOTEEXTRACTCALLBACK callback, void* param);
// Writes the attachment's bytes to fileName (replaced if present); decryptionKey is not used.
STATUS NSFNoteExtractFile(NOTEHANDLE hNote, BLOCKID bhItem, const char* fileName, void* decryptionKey);
// Attaches a file from disk as an item (usually "$FILE"); its bytes are saved with the note
// (NSFNoteUpdate). originalPathName (null: pathName) is recorded, its last component is the
// attachment's name. encodingType is not used.
STATUS NSFNoteAttachFile(NOTEHANDLE hNote, const char* itemName, WORD itemNameLength, const char* pathName,
                         const char* originalPathName, WORD encodingType);

// Text lists (a LIST, then a WORD length per entry, then the texts) and the scheduling service.
// ListAllocate makes a list of `entries` empty texts (fPrefixDataType not supported: 0);
// ListAddEntry inserts a text at entryNumber (past the end: appends) while the list is unlocked.
STATUS ListAllocate(WORD entries, WORD textSize, BOOL fPrefixDataType, DHANDLE* rethList, void** retpList,
                    WORD* retListSize);
STATUS ListAddEntry(DHANDLE hList, BOOL fPrefixDataType, WORD* pListSize, WORD entryNumber, const char* text,
                    WORD textSize);
typedef DHANDLE HCNTNR;
#define SCHRQST_FORCEREMOTE 0x0002
#define SCHRQST_EACHPERSON 0x0008
// The busy time of the people a text list names, for the interval: a container with one schedule
// per name. Names are looked up in the directories like NAMELookup2 (any form); a name that is no
// person with a mail file on a server of this data directory gives ERR_SCHED_NO_USER. A person is
// busy during each calendar entry of the mail file that is not penciled in. pApptUnid and
// pApptOrigDate are not used.
STATUS SchRetrieve(const void* pApptUnid, const TIMEDATE* pApptOrigDate, DWORD dwOptions,
                   const TIMEDATE_PAIR* pInterval, const LIST* pNames, HCNTNR* rethCntnr, void* reserved1,
                   void* reserved2, void* reserved3);
STATUS SchContainer_GetFirstSchedule(HCNTNR hCntnr, DWORD* rethSchedObj, void** retpSchedule);
// The schedule's busy time within pInterval (null: the whole retrieved interval) as a RANGE of
// TIMEDATE_PAIRs in time order, merged where they overlap, in a new memory handle.
STATUS Schedule_ExtractBusyTimeRange(HCNTNR hCntnr, DWORD hSchedObj, const UNID* punidIgnore,
                                     const TIMEDATE_PAIR* pInterval, DWORD* retdwSize, DHANDLE* rethRange,
                                     DHANDLE* rethMoreCtx);
void SchContainer_Free(HCNTNR hCntnr);

#ifdef __cplusplus
}
#endif
