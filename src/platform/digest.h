#pragma once
// Digests of file data for checking a transfer against the server's own
// checksum: SHA-2, SHA-1 and MD5 through OpenSSL, CRC-32 through zlib.
//
// TrailingDigest hashes a file on a thread of its own while a transfer reads
// or writes it, following the transfer's progress through the page cache, so
// that the transfer's own thread never waits for the hashing.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace dorvan::platform {

enum class DigestAlgorithm { crc32, md5, sha1, sha256, sha512 };

// "SHA-256", "CRC32", as servers name them.
std::string_view digestName(DigestAlgorithm algorithm);
std::optional<DigestAlgorithm> digestNamed(std::string_view name);  // any letter case
// The length of the algorithm's digest in hexadecimal digits.
size_t digestHexLength(DigestAlgorithm algorithm);

// 16 hex digits (64-bit FNV-1a) that name `text` in a file name: short and
// stable, not a protection against a chosen collision.
std::string nameDigest(std::string_view text);

class Digest {
public:
    explicit Digest(DigestAlgorithm algorithm);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    void update(std::string_view data);
    std::string hex();  // lower case; the digest ends here

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

// The digest of a file's first bytes, hashed on a thread of its own as the
// caller tells how many more are ready. One owner thread calls it.
class TrailingDigest {
public:
    TrailingDigest() = default;
    ~TrailingDigest();  // stops the thread
    TrailingDigest(const TrailingDigest&) = delete;
    TrailingDigest& operator=(const TrailingDigest&) = delete;

    // Opens `path` for reading (its own handle) and starts the thread; its
    // first `ready` bytes are there to be read. Failures read "<path>: <reason>".
    bool start(const std::string& path, DigestAlgorithm algorithm, uint64_t ready, std::string* error);
    // `bytes` more of the file are there to be read.
    void advance(uint64_t bytes);
    // Waits until all bytes made ready are hashed: the hex digest, or nullopt
    // with the reason when the file could not be read.
    std::optional<std::string> finish(std::string* error);

private:
    void run();

    int fd_ = -1;
    std::unique_ptr<Digest> digest_;
    std::thread thread_;
    // Guards the three below; the thread waits on `wake_` for more bytes.
    std::mutex lock_;
    std::condition_variable wake_;
    uint64_t ready_ = 0;
    bool ending_ = false;
    bool stop_ = false;
    // Written by the thread before it ends, read after join.
    uint64_t hashed_ = 0;
    std::string failure_;
};

}  // namespace dorvan::platform
