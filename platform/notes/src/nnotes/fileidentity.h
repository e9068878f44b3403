// Which file a path names right now: device, inode and status-change time, so that a file deleted
// and made again under the same name (even on a reused inode) reads as another file.
#pragma once

#include <sys/stat.h>

#include <string>

namespace notes {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    long long changedSeconds = 0;
    long changedNanoseconds = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

inline bool identityOf(const std::string& file, FileIdentity* out) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return false;
    }
#ifdef _WIN32
    // Whole seconds only, and no inode: a file made again within the same second reads as the same.
    *out = FileIdentity{st.st_dev, st.st_ino, static_cast<long long>(st.st_ctime), 0};
#else
    *out = FileIdentity{st.st_dev, st.st_ino, static_cast<long long>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec};
#endif
    return true;
}

} // namespace notes
