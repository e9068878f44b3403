// Argon2 for the Windows build: no digest can be made or verified, so every password is refused.
#pragma once

#include "hxstub.h"

#include <cstddef>
#include <cstdint>

#define ARGON2_OK 0
#define ARGON2_MEMORY_ALLOCATION_ERROR -22
#define ARGON2_VERIFY_MISMATCH -35
typedef enum Argon2_type { Argon2_d = 0, Argon2_i = 1, Argon2_id = 2 } argon2_type;

inline size_t argon2_encodedlen(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, argon2_type) {
    return 1;
}
template <class... A> inline int argon2id_hash_encoded(A&&...) {
    return ARGON2_MEMORY_ALLOCATION_ERROR;
}
template <class... A> inline int argon2id_verify(A&&...) {
    return ARGON2_VERIFY_MISMATCH;
}
