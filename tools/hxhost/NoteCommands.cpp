// The note provider's operations. The main provider may hand out no note provider; the host then
// makes one by its class name.
#include "Commands.h"

namespace hxhost {

void registerNoteCommands(CommandRegistry& registry) {
    addOperations(
        registry, "note provider",
        {
            {"newNote", "FOLDER", "A new, unsaved note.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Note> note;
                 c.status(c.notes().newNote(c.folder(0), note));
                 c.out("note", note);
             }},
            {"addNote", "FOLDER TEXT [COLOR]", "Creates a note.",
             [](Call& c) { c.status(c.notes().addNote(c.folder(0), c.text(1), c.number(2, "COLOR"))); }},
            {"removeNote", "ID", "Deletes a note.",
             [](Call& c) { c.status(c.notes().removeNote(c.message(0))); }},
            {"saveNote", "ID TEXT [COLOR]", "Writes a note's text and color.",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.notes().saveNote(c.message(0), c.text(1), c.number(2, "COLOR"), flag));
                 c.out("flag", flag);
             }},
        });
}

} // namespace hxhost
