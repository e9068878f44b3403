// Password digests: Argon2id in PHC string form with OWASP's parameters (19 MiB, 2 passes, 1 lane).
#include "acl.h"
#include "values.h"

#include <argon2.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr std::uint32_t kMemoryKiB = 19456;
constexpr std::uint32_t kPasses = 2;
constexpr std::uint32_t kLanes = 1;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// A stored digest must not make verification arbitrarily expensive.
constexpr unsigned long kMaxMemoryKiB = 262144;
constexpr unsigned long kMaxPasses = 16;
constexpr unsigned long kMaxLanes = 8;
constexpr std::size_t kMaxDigest = 512;

// Checks the "$argon2id$v=19$m=..,t=..,p=..$" head and its cost bounds; argon2 checks the rest.
bool acceptable(const std::string& digest) {
    unsigned long m = 0, t = 0, p = 0;
    int consumed = 0;
    if (digest.size() > kMaxDigest ||
        std::sscanf(digest.c_str(), "$argon2id$v=19$m=%lu,t=%lu,p=%lu$%n", &m, &t, &p, &consumed) != 3 ||
        consumed == 0) {
        return false;
    }
    return m >= 8 && m <= kMaxMemoryKiB && t >= 1 && t <= kMaxPasses && p >= 1 && p <= kMaxLanes &&
           digest.find('\0') == std::string::npos;
}

} // namespace

extern "C" {

STATUS SECVerifyPassword(WORD passwordLength, const BYTE* password, WORD digestLength, const BYTE* digest,
                         DWORD, void*) {
    const std::string encoded =
        digest ? std::string(reinterpret_cast<const char*>(digest), digestLength) : "";
    STATUS result = ERR_PASSWORD_MISMATCH;
    if (passwordLength > SEC_MAX_PASSWORD) {
        result = ERR_PASSWORD_TOO_LONG;
    } else if ((password != nullptr || passwordLength == 0) && !encoded.empty() && acceptable(encoded)) {
        const BYTE empty = 0;
        if (argon2id_verify(encoded.c_str(), password ? password : &empty, passwordLength) == ARGON2_OK) {
            result = NOERROR;
        }
    }
    // A checked directory password is a login: the checking session acts as that person from now.
    notes::acl::passwordChecked(encoded, result == NOERROR);
    return result;
}

STATUS SECHashPassword(WORD passwordLength, const BYTE* password, WORD maxDigestLength, WORD* retDigestLength,
                       BYTE* digest, DWORD, void*) {
    if (passwordLength > SEC_MAX_PASSWORD) {
        return ERR_PASSWORD_TOO_LONG;
    }
    if ((password == nullptr && passwordLength != 0) || digest == nullptr) {
        return ERR_INVALID_PARAM;
    }
    unsigned char salt[kSaltBytes];
    std::random_device rd;
    for (unsigned char& b : salt) {
        b = static_cast<unsigned char>(rd() & 0xFF);
    }
    const std::size_t size =
        argon2_encodedlen(kPasses, kMemoryKiB, kLanes, kSaltBytes, kHashBytes, Argon2_id);
    std::string encoded(size, '\0');
    const BYTE empty = 0;
    const int rc =
        argon2id_hash_encoded(kPasses, kMemoryKiB, kLanes, password ? password : &empty, passwordLength, salt,
                              kSaltBytes, kHashBytes, encoded.data(), encoded.size());
    if (rc != ARGON2_OK) {
        return rc == ARGON2_MEMORY_ALLOCATION_ERROR ? ERR_MEMORY : ERR_BAD_DIGEST;
    }
    encoded.resize(std::strlen(encoded.c_str()));
    if (encoded.size() > maxDigestLength) {
        return ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(digest, encoded.data(), encoded.size());
    if (retDigestLength) {
        *retDigestLength = static_cast<WORD>(encoded.size());
    }
    return NOERROR;
}

} // extern "C"
