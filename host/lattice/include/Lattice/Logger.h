#pragma once
#include "Lattice/String.h"

namespace Lattice {

// The host's debug log. Thread-safe; each print() is one line, flushed at once. Logging never
// throws into its caller: a log that cannot be written is skipped.
class Logger {
public:
    // Opens `fileName` (relative names go into the log folder) for the given server type.
    // A later init() with another file switches to it; with the same file it keeps it open.
    static void init(int serverType, const String& fileName);
    static void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The folder relative log names go to; default: the current folder.
    static void setLogFolder(const String& folder);
    static String logFilePath();
    static int serverType();
    // Closes the log (tests).
    static void close();
};

} // namespace Lattice
