// libcurl for the Windows build: no handle can be made, so every fetch fails.
#pragma once

#include "../hxstub.h"

typedef void CURL;
typedef long long curl_off_t;
struct curl_slist;
typedef enum {
    CURLE_OK = 0,
    CURLE_FAILED_INIT = 2,
    CURLE_WEIRD_SERVER_REPLY = 8,
    CURLE_WRITE_ERROR = 23,
    CURLE_OUT_OF_MEMORY = 27,
    CURLE_FILESIZE_EXCEEDED = 63
} CURLcode;
typedef enum {
    CURLOPT_WRITEDATA = 10001,
    CURLOPT_URL = 10002,
    CURLOPT_HTTPHEADER = 10023,
    CURLOPT_HEADERDATA = 10029,
    CURLOPT_FOLLOWLOCATION = 52,
    CURLOPT_LOW_SPEED_LIMIT = 19,
    CURLOPT_LOW_SPEED_TIME = 20,
    CURLOPT_NOSIGNAL = 99,
    CURLOPT_ACCEPT_ENCODING = 10102,
    CURLOPT_TIMEOUT_MS = 155,
    CURLOPT_CONNECTTIMEOUT_MS = 156,
    CURLOPT_MAXFILESIZE_LARGE = 30117,
    CURLOPT_CONNECT_TO = 10243,
    CURLOPT_PROTOCOLS_STR = 10318,
    CURLOPT_WRITEFUNCTION = 20011,
    CURLOPT_HEADERFUNCTION = 20079
} CURLoption;
typedef enum { CURLINFO_RESPONSE_CODE = 0x200002 } CURLINFO;
#define CURL_GLOBAL_DEFAULT 3L

inline CURLcode curl_global_init(long) {
    return CURLE_FAILED_INIT;
}
inline CURL* curl_easy_init() {
    return nullptr;
}
inline const char* curl_easy_strerror(CURLcode) {
    return "libcurl is not part of this Windows build";
}
template <class... A> inline CURLcode curl_easy_setopt(A&&...) {
    return CURLE_FAILED_INIT;
}
template <class... A> inline CURLcode curl_easy_perform(A&&...) {
    return CURLE_FAILED_INIT;
}
template <class... A> inline CURLcode curl_easy_getinfo(A&&...) {
    return CURLE_FAILED_INIT;
}
HXSTUB_EMPTY(curl_easy_cleanup)
HXSTUB_EMPTY(curl_slist_append)
HXSTUB_EMPTY(curl_slist_free_all)
