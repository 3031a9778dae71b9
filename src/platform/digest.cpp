#include "platform/digest.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_io_os.h"
#include "text/ascii.h"

namespace dorvan::platform {
namespace {

struct Known {
    DigestAlgorithm algorithm;
    std::string_view name;
    size_t hexLength;
};

constexpr Known known[] = {
    {DigestAlgorithm::crc32, "CRC32", 8},      {DigestAlgorithm::md5, "MD5", 32},
    {DigestAlgorithm::sha1, "SHA-1", 40},      {DigestAlgorithm::sha256, "SHA-256", 64},
    {DigestAlgorithm::sha512, "SHA-512", 128},
};

const EVP_MD* evpOf(DigestAlgorithm algorithm) {
    switch (algorithm) {
        case DigestAlgorithm::md5: return EVP_md5();
        case DigestAlgorithm::sha1: return EVP_sha1();
        case DigestAlgorithm::sha256: return EVP_sha256();
        case DigestAlgorithm::sha512: return EVP_sha512();
        case DigestAlgorithm::crc32: break;
    }
    return nullptr;
}

std::string hexOf(const unsigned char* bytes, size_t size) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

constexpr size_t hashPiece = 1024 * 1024;

}  // namespace

std::string_view digestName(DigestAlgorithm algorithm) {
    for (const Known& k : known)
        if (k.algorithm == algorithm) return k.name;
    return {};
}

std::optional<DigestAlgorithm> digestNamed(std::string_view name) {
    for (const Known& k : known)
        if (text::asciiLower(name) == text::asciiLower(k.name)) return k.algorithm;
    return std::nullopt;
}

size_t digestHexLength(DigestAlgorithm algorithm) {
    for (const Known& k : known)
        if (k.algorithm == algorithm) return k.hexLength;
    return 0;
}

std::string nameDigest(std::string_view text) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

struct Digest::Engine {
    EVP_MD_CTX* context = nullptr;  // null for CRC-32
    uLong crc = crc32(0L, Z_NULL, 0);
};

Digest::Digest(DigestAlgorithm algorithm) : engine_(std::make_unique<Engine>()) {
    if (const EVP_MD* md = evpOf(algorithm)) {
        engine_->context = EVP_MD_CTX_new();
        EVP_DigestInit_ex(engine_->context, md, nullptr);
    }
}

Digest::~Digest() {
    if (engine_->context) EVP_MD_CTX_free(engine_->context);
}

void Digest::update(std::string_view data) {
    if (engine_->context) {
        EVP_DigestUpdate(engine_->context, data.data(), data.size());
        return;
    }
    // zlib takes at most a uInt at a time.
    while (!data.empty()) {
        const size_t n = std::min<size_t>(data.size(), 1u << 30);
        engine_->crc = crc32(engine_->crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(n));
        data.remove_prefix(n);
    }
}

std::string Digest::hex() {
    if (!engine_->context) {
        const auto crc = static_cast<uint32_t>(engine_->crc);
        const unsigned char bytes[] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                       static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
        return hexOf(bytes, sizeof bytes);
    }
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_DigestFinal_ex(engine_->context, bytes, &size);
    return hexOf(bytes, size);
}

TrailingDigest::~TrailingDigest() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    if (fd_ >= 0) os::closeFile(fd_);
}

bool TrailingDigest::start(const std::string& path, DigestAlgorithm algorithm, uint64_t ready, std::string* error) {
    fd_ = os::openInput(path);
    if (fd_ < 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    ready_ = ready;
    digest_ = std::make_unique<Digest>(algorithm);
    failure_ = path;  // the prefix of a failure's report
    thread_ = std::thread([this] { run(); });
    return true;
}

void TrailingDigest::advance(uint64_t bytes) {
    if (bytes == 0) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ready_ += bytes;
    }
    wake_.notify_one();
}

std::optional<std::string> TrailingDigest::finish(std::string* error) {
    uint64_t end;
    {
        std::lock_guard<std::mutex> guard(lock_);
        end = ready_;
        ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
    if (hashed_ != end) {
        *error = failure_;
        return std::nullopt;
    }
    return digest_->hex();
}

void TrailingDigest::run() {
    const std::string path = failure_;
    failure_.clear();
    std::vector<char> buffer(hashPiece);
    for (;;) {
        uint64_t until;
        bool last;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stop_ || ending_ || ready_ > hashed_; });
            if (stop_) return;
            until = ready_;
            last = ending_;
        }
        while (hashed_ < until) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(until - hashed_, buffer.size()));
            const long n = os::readSome(fd_, buffer.data(), want);
            if (n <= 0) {
                failure_ = path + ": " + (n == 0 ? std::string("the file ended early") : std::strerror(errno));
                return;
            }
            digest_->update(std::string_view(buffer.data(), static_cast<size_t>(n)));
            hashed_ += static_cast<uint64_t>(n);
        }
        if (last) {
            std::lock_guard<std::mutex> guard(lock_);
            if (hashed_ >= ready_) return;
        }
    }
}

}  // namespace dorvan::platform
