#include "auth.h"

#include "text.h"

#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstring>

namespace domino {

namespace {

constexpr std::size_t kMaxHeader = 4096;

const std::string& decoyDigest() {
    static const std::string digest = [] {
        static const char decoy[] = "no user has this password";
        BYTE out[SEC_DIGEST_SIZE] = {};
        WORD length = 0;
        if (SECHashPassword(static_cast<WORD>(sizeof decoy - 1), reinterpret_cast<const BYTE*>(decoy),
                            sizeof out, &length, out, 0, nullptr) != NOERROR) {
            return std::string();
        }
        return std::string(reinterpret_cast<const char*>(out), length);
    }();
    return digest;
}

// A name as a log line may show it: control characters replaced.
std::string printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

} // namespace

Authenticator::Authenticator(const notes::DataDirectory& dir, std::chrono::seconds lifetime,
                             std::size_t capacity, Clock clock, Log log)
    : dir_(dir), lifetime_(lifetime), capacity_(capacity), clock_(std::move(clock)), log_(std::move(log)) {
    if (!clock_) {
        clock_ = [] { return std::chrono::steady_clock::now(); };
    }
    if (RAND_bytes(secret_.data(), static_cast<int>(secret_.size())) != 1) {
        throw std::runtime_error("no random bytes for the credential cache");
    }
}

Authenticator::Key Authenticator::keyOf(const std::string& header) const {
    Key key{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(header.data()), header.size(), key.data(), &length);
    return key;
}

std::optional<Person> Authenticator::authenticate(const std::string& header) {
    if (header.empty() || header.size() > kMaxHeader) {
        return std::nullopt;
    }
    const Key key = keyOf(header);
    const auto now = clock_();
    if (lifetime_.count() > 0 && capacity_ > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = cache_.find(key);
        if (it != cache_.end()) {
            if (it->second.expires > now) {
                ++hits_;
                return it->second.person;
            }
            cache_.erase(it);
        }
    }
    std::optional<Person> person = verify(header);
    if (person && lifetime_.count() > 0 && capacity_ > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cache_.size() >= capacity_) {
            std::erase_if(cache_, [&](const auto& e) { return e.second.expires <= now; });
        }
        while (cache_.size() >= capacity_) {
            auto oldest = cache_.begin();
            for (auto it = cache_.begin(); it != cache_.end(); ++it) {
                if (it->second.expires < oldest->second.expires) {
                    oldest = it;
                }
            }
            cache_.erase(oldest);
        }
        cache_[key] = Entry{*person, now + lifetime_};
    }
    return person;
}

std::optional<Person> Authenticator::verify(const std::string& header) {
    // "Basic" (any case), blanks, then Base64 of "name:password".
    if (header.size() < 6 || !equalsNoCase(std::string_view(header).substr(0, 5), "Basic") ||
        header[5] != ' ') {
        return std::nullopt;
    }
    std::size_t at = 5;
    while (at < header.size() && header[at] == ' ') {
        ++at;
    }
    std::size_t end = header.size();
    while (end > at && header[end - 1] == ' ') {
        --end;
    }
    const auto decoded = base64Decode(std::string_view(header).substr(at, end - at));
    if (!decoded) {
        return std::nullopt;
    }
    const std::size_t colon = decoded->find(':');
    if (colon == std::string::npos || colon == 0) {
        return std::nullopt;
    }
    const std::string name = utf8ToLatin1IfPossible(decoded->substr(0, colon));
    const std::string password = decoded->substr(colon + 1);
    if (name.find('\0') != std::string::npos || password.size() > SEC_MAX_PASSWORD) {
        return std::nullopt;
    }
    const std::vector<Person> people = findPeople(dir_, name);
    // A name that several people answer to logs nobody in: it would be a guess whose mail to show.
    if (people.size() > 1 && log_) {
        log_("login refused: the name \"" + printable(latin1ToUtf8(name)) + "\" matches " +
             std::to_string(people.size()) + " people in the directory");
    }
    if (people.size() != 1 || people.front().digest.empty()) {
        verifyDecoy(password);
        return std::nullopt;
    }
    const Person& p = people.front();
    ++checks_;
    const STATUS s =
        SECVerifyPassword(static_cast<WORD>(password.size()), reinterpret_cast<const BYTE*>(password.data()),
                          static_cast<WORD>(std::min<std::size_t>(p.digest.size(), 0xFFFF)),
                          reinterpret_cast<const BYTE*>(p.digest.data()), 0, nullptr);
    if (s != NOERROR) {
        return std::nullopt;
    }
    return p;
}

void Authenticator::verifyDecoy(const std::string& password) {
    const std::string& digest = decoyDigest();
    ++decoys_;
    (void)SECVerifyPassword(static_cast<WORD>(password.size()),
                            reinterpret_cast<const BYTE*>(password.data()), static_cast<WORD>(digest.size()),
                            reinterpret_cast<const BYTE*>(digest.data()), 0, nullptr);
}

} // namespace domino
