// File attachments: "$FILE" items and their bytes in the objects table.
#include "internal.h"

extern "C" BOOL MailGetMessageAttachmentInfo(NOTEHANDLE, WORD, BLOCKID*, char*, DWORD*, WORD*, WORD*,
                                             TIMEDATE*, TIMEDATE*) {
    return FALSE;
}

extern "C" STATUS NSFNoteExtractWithCallback(NOTEHANDLE, BLOCKID, char*, WORD, NOTEEXTRACTCALLBACK, void*) {
    return ERR_NOT_AN_ATTACHMENT;
}

extern "C" STATUS NSFNoteExtractFile(NOTEHANDLE, BLOCKID, const char*, void*) {
    return ERR_NOT_AN_ATTACHMENT;
}

extern "C" STATUS NSFNoteAttachFile(NOTEHANDLE, const char*, WORD, const char*, const char*, WORD) {
    return ERR_NOT_AN_ATTACHMENT;
}
