// The module's entry: the loader runs the class registrations of every unit first, then this.
#include "provider/NotesProviderFactory.h"

#include <new>

#ifdef _WIN32
#include <windows.h>

BOOL APIENTRY DllMain(HMODULE module, DWORD reason, LPVOID) {
    // No per-thread state anywhere, so the thread notifications are only overhead.
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(module);
    return TRUE;
}
#endif

extern "C" hxMail::hxNotesProvider::NotesProviderFactory* getMailProviderInterface() {
    return new (std::nothrow) hxMail::hxNotesProvider::NotesProviderFactory();
}
