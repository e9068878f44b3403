#pragma once
#include "Lattice/String.h"

namespace Lattice {

// The host's debug log. Thread-safe; each print() is one line, flushed at once, laid out as
// "YYYY-MM-DD HH:MM:SS.mmm [tid] text" (local time, kernel thread id); a line end is added
// unless the text already ends with one. Logging never throws into its caller: a log that
// cannot be opened or written drops its lines, and so does print() before init().
class Logger {
public:
    // Opens `fileName` (relative names go into the log folder) for the given server type.
    // A later init() with another file switches to it; with the same file it keeps it open.
    static void init(int serverType, const String& fileName);
    static void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The folder relative log names go to: the one set here, else the setting "log.folder",
    // else the current folder; an empty folder goes back to that default. Takes effect at the next
    // init().
    static void setLogFolder(const String& folder);
    // The file in use ("" when none was chosen); set even when it could not be opened.
    static String logFilePath();
    static int serverType();
    // Closes the log (tests).
    static void close();
};

} // namespace Lattice
