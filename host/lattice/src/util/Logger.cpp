#include "Lattice/Logger.h"

#include "Lattice/Settings.h"
#include "WallClock.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace Lattice {

// Line layout: "YYYY-MM-DD HH:MM:SS.mmm [tid] text", local time with milliseconds and the kernel
// thread id, so lines of concurrent requests can be told apart.

namespace {

struct LogState {
    std::mutex mutex;
    FILE* file = nullptr;
    std::string path;
    std::string folder;
    bool folderSet = false;
    int serverType = 0;
};

// Never destroyed: providers may still log from static destructors at unload.
LogState& state() {
    static LogState* s = new LogState();
    return *s;
}

std::string resolvePath(const LogState& s, const std::string& fileName) {
    if (!fileName.empty() && fileName[0] == '/')
        return fileName;
    std::string folder = s.folderSet ? s.folder : Settings::get("log.folder").str();
    if (folder.empty())
        return fileName;
    if (folder.back() != '/')
        folder += '/';
    return folder + fileName;
}

void closeLocked(LogState& s) {
    if (s.file)
        std::fclose(s.file);
    s.file = nullptr;
    s.path.clear();
}

long threadId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentThreadId());
#else
    return static_cast<long>(syscall(SYS_gettid));
#endif
}

std::string linePrefix() {
    const wallclock::Reading now = wallclock::now();
    tm local{};
    int64_t east = 0;
    wallclock::localFields(now.seconds, &local, &east);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03ld [%ld] ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long>(now.nanos / 1000000), threadId());
    return buf;
}

} // namespace

void Logger::init(int serverType, const String& fileName) {
    try {
        LogState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.serverType = serverType;
        if (fileName.isEmpty())
            return;
        std::string path = resolvePath(s, fileName.str());
        if (s.file && path == s.path)
            return;
        closeLocked(s);
        s.path = path;
        s.file = std::fopen(path.c_str(), "a");
    } catch (...) {
        // Logging must never take its caller down.
    }
}

void Logger::print(const char* format, ...) {
    if (!format)
        return;
    try {
        va_list ap;
        va_start(ap, format);
        va_list copy;
        va_copy(copy, ap);
        int n = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        std::string text;
        if (n > 0) {
            text.resize(static_cast<std::size_t>(n) + 1);
            std::vsnprintf(text.data(), text.size(), format, ap);
            text.resize(static_cast<std::size_t>(n));
        }
        va_end(ap);
        if (n < 0)
            return;

        std::string line = linePrefix();
        line += text;
        if (text.empty() || text.back() != '\n')
            line += '\n';

        LogState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.file)
            return;
        std::fwrite(line.data(), 1, line.size(), s.file);
        std::fflush(s.file);
    } catch (...) {
        // A line that cannot be built is dropped.
    }
}

void Logger::setLogFolder(const String& folder) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.folder = folder.str();
    s.folderSet = !folder.isEmpty();
}

String Logger::logFilePath() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return String(s.path);
}

int Logger::serverType() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.serverType;
}

void Logger::close() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    closeLocked(s);
}

} // namespace Lattice
