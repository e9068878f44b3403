#include "notes/NotesUser.h"

namespace hxMail::hxNotesProvider {

NotesUser::NotesUser() = default;

NotesUser::NotesUser(const NotesUser& other) : Lattice::Base(other) {}

NotesUser::~NotesUser() {
    if (info) {
        if (info->recipient)
            info->recipient->release();
        delete info;
    }
}

LATTICE_REGISTER_CLASS(NotesUser);

} // namespace hxMail::hxNotesProvider
