#include "ftp/data_transfer.h"

#include <algorithm>
#include <vector>

#include "ftp/ftp_text.h"
#include "platform/local_file.h"

namespace dorvan {
namespace {

using platform::SocketStatus;

constexpr size_t dataChunk = 64 * 1024;

// The cap and the digest of one file's transfer, for as long as it runs.
class FileMoveScope {
public:
    FileMoveScope(RateLimit*& limiting, RateLimit* limit, platform::TrailingDigest*& hashing)
        : limiting_(limiting), hashing_(hashing) {
        limiting_ = limit;
    }
    ~FileMoveScope() {
        limiting_ = nullptr;
        hashing_ = nullptr;
    }
    FileMoveScope(const FileMoveScope&) = delete;
    FileMoveScope& operator=(const FileMoveScope&) = delete;

private:
    RateLimit*& limiting_;
    platform::TrailingDigest*& hashing_;
};

}  // namespace

// One download call, over all its tries.
struct DataTransfers::Download {
    DataRequest request;
    std::string remotePath{};               // of a file
    std::optional<ChecksumMethod> check{};  // how the file is checked, when it is
    uint64_t whole = unknownSize;           // the whole file's size as the caller knows it
    uint64_t expected = unknownSize;        // the size the data is held to; unknownSize for none
    uint64_t announced = unknownSize;       // what a RETR's 1xx reply said
    bool overran = false;                   // more came than expected: the transfer stopped there
};

// A call that failed never reads as ok, even where the server's last reply was one.
CallOutcome DataTransfers::outcome(bool ok, const DataRequest& request) const {
    CallOutcome result = control_.outcome();
    result.begun = request.begun;
    if (ok)
        result.kind = OutcomeKind::ok;
    else if (result.kind == OutcomeKind::ok)
        result.kind = OutcomeKind::refusedPermanent;
    return result;
}

void DataTransfers::setRules(ChecksumMode mode, std::shared_ptr<RateLimit> limit) {
    checksumMode_ = mode;
    rateLimit_ = std::move(limit);
}

platform::MovedBytes DataTransfers::progressCallback() {
    return [this](uint64_t bytes) { moved(bytes); };
}

void DataTransfers::moved(uint64_t bytes) {
    if (progress_) progress_->dataMoved(bytes);
    if (hashing_) hashing_->advance(bytes);
    if (limiting_) {
        const auto wait = limiting_->charge(bytes);
        if (wait.count() > 0) control_.pause(static_cast<int>(wait.count()));
    }
}

bool DataTransfers::planCheck(char type, std::optional<ChecksumMethod>& method) {
    method.reset();
    if (checksumMode_ == ChecksumMode::never) return true;
    if (type != imageType) {
        checked_.skipped = "ASCII mode";
        return true;
    }
    method = checksums_.method();
    if (method) return true;
    checked_.skipped = "the server offers no checksum";
    if (checksumMode_ == ChecksumMode::whereOffered) return true;
    return control_.fail("the server offers no checksum (HASH, XSHA256, XSHA1, XMD5, XCRC or MD5)",
                         OutcomeKind::refusedPermanent);
}

bool DataTransfers::startDigest(platform::TrailingDigest& digest, const std::string& path, const ChecksumMethod& method,
                                uint64_t kept) {
    std::string error;
    if (!digest.start(path, method.algorithm, kept, &error))
        return control_.fail("cannot read " + error, OutcomeKind::localError);
    hashing_ = &digest;
    return true;
}

bool DataTransfers::verify(const ChecksumMethod& method, platform::TrailingDigest& digest,
                           const std::string& remotePath, std::string_view direction) {
    hashing_ = nullptr;
    // The server reads the file again meanwhile the digest thread catches up.
    std::string theirs;
    const bool answered = checksums_.ask(method, remotePath, theirs);
    std::string error;
    const std::optional<std::string> ours = digest.finish(&error);
    if (!ours) return control_.fail("cannot read " + error, OutcomeKind::localError);
    if (!answered) {
        if (checksumMode_ == ChecksumMode::required) {
            const CallOutcome refused = control_.outcome();
            return control_.fail("the server gave no checksum: " + refused.text,
                                 refused.kind == OutcomeKind::ok ? OutcomeKind::refusedPermanent : refused.kind);
        }
        checked_.skipped = "the server gave none: " + control_.outcome().text;
        return true;
    }
    const std::string name(platform::digestName(method.algorithm));
    checked_ = {.algorithm = name, .digest = *ours};
    if (theirs == *ours) return true;
    return control_.fail(
        "checksum differs: server " + name + " " + theirs + ", " + std::string(direction) + " " + *ours,
        OutcomeKind::checksumDiffers);
}

CallOutcome DataTransfers::get(const std::string& localPath, const std::string& remotePath, char mode,
                               uint64_t expectedSize, KeptPart* part) {
    checked_ = {};
    // Filled member by member: GCC 12 at -O3 takes a string made inside the
    // nested initializer for uninitialized (a false -Wmaybe-uninitialized).
    Download download;
    download.request.command = "RETR " + remotePath;
    download.request.type = mode;
    download.request.restartAt = part ? part->restartAt : 0;
    download.remotePath = remotePath;
    download.whole = expectedSize;
    if (!control_.requireType(mode) || !control_.requireConnection() || !planCheck(mode, download.check))
        return outcome(false, download.request);
    FileMoveScope scope(limiting_, rateLimit_.get(), hashing_);
    return outcome(downloadToFile(localPath, download, part), download.request);
}

CallOutcome DataTransfers::getText(const std::string& localPath, const std::string& command) {
    Download download{.request = {.command = command, .type = asciiType}};
    return outcome(downloadToFile(localPath, download, nullptr), download.request);
}

CallOutcome DataTransfers::receive(const std::string& command, char type, const Consumer& consume) {
    Download download{.request = {.command = command, .type = type}};
    return outcome(receiveData(download, consume), download.request);
}

bool DataTransfers::downloadToFile(const std::string& localPath, Download& download, KeptPart* part) {
    const char type = download.request.type;
    if (!control_.requireType(type) || !control_.requireConnection()) return false;
    platform::ReplacingFileWriter file;
    std::string error;
    // A part that is no longer this writer's to take is left alone: the file starts over in a new one.
    DataRequest& request = download.request;
    if (!(part && !part->path.empty() && file.adoptPart(localPath, part->path, request.restartAt))) {
        request.restartAt = 0;
        if (!file.open(localPath, &error)) return control_.fail(error, OutcomeKind::localError);
    }
    if (download.whole != unknownSize) download.expected = download.whole - std::min(request.restartAt, download.whole);
    platform::TrailingDigest digest;
    if (download.check && !startDigest(digest, file.temporaryPath(), *download.check, request.restartAt)) return false;
    auto write = [&](std::string_view data) {
        return file.write(data, &error) || control_.fail(error, OutcomeKind::localError);
    };
    AsciiDecoder decoder;
    AsciiEncoder encoder;  // back to CR LF where local text files use it
    const bool crLf = platform::localTextUsesCrLf();
    std::string text, local;
    auto writeText = [&] {
        if (!crLf) return write(text);
        local.clear();
        encoder.encode(text, local);
        return write(local);
    };
    bool ok = receiveData(
        download,
        [&](std::string_view data) {
            if (type == imageType) return write(data);
            text.clear();
            decoder.decode(data, text);
            return writeText();
        },
        type == imageType ? &file : nullptr);
    if (ok && type == asciiType) {
        text.clear();
        decoder.finish(text);
        ok = writeText();
    }
    if (ok && download.check) ok = verify(*download.check, digest, download.remotePath, "received");
    // A part whose checksum differs is no start for another try: it goes, and
    // the next try writes the same file anew.
    if (!ok && part && control_.outcome().kind == OutcomeKind::checksumDiffers) *part = {.path = part->path};
    if (!ok && part && control_.outcome().kind != OutcomeKind::checksumDiffers)
        *part = {.path = file.keep(), .announced = download.announced, .overran = download.overran};
    if (!ok) return false;
    if (!file.commit(&error)) return control_.fail(error, OutcomeKind::localError);
    if (part) *part = {};
    return true;
}

bool DataTransfers::receiveData(Download& download, const Consumer& consume, platform::ReplacingFileWriter* file) {
    DataRequest& request = download.request;
    int fd;
    if (!connections_.open(request, fd)) return false;
    // A file's transfer may announce its size ("150 ... (N bytes)"); a listing's is not held to it.
    if (request.command.starts_with("RETR ")) {
        download.announced = parseAnnouncedSize(control_.reply()).value_or(unknownSize);
        if (download.expected == unknownSize && request.restartAt == 0) download.expected = download.announced;
    }
    if (progress_) progress_->dataStarted(download.expected);
    // Image data is held to its size both ways: a server that sends on is stopped at the first byte too many.
    const uint64_t most =
        request.type == imageType && download.expected != unknownSize ? download.expected : unknownSize;
    platform::TlsConnection& tls = connections_.tls();
    platform::IoOutcome moved;
    bool localFailure = false;
    uint64_t received = 0;
    // The kernel moves plain data; TLS records pass through the loop.
    if (file && !tls.active() && !limiting_) {
        platform::FileMove move = platform::receiveToFile(fd, *file, pipe_, control_.limit(), most, progressCallback());
        moved = move.net;
        received = move.bytes;
        localFailure = move.localFailed;
        download.overran = move.overrun;
        if (localFailure) control_.fail(move.localError, OutcomeKind::localError);
    } else {
        std::vector<char> buffer(dataChunk);
        for (;;) {
            if (received > most) {
                download.overran = true;
                break;
            }
            moved = platform::receiveSome(fd, tls, buffer.data(), platform::pieceWithin(buffer.size(), received, most),
                                          control_.limit());
            if (moved.status == SocketStatus::closed) {
                moved = {};
                break;
            }
            if (!moved.ok()) break;
            received += moved.count;
            if (!consume(std::string_view(buffer.data(), moved.count))) {
                localFailure = true;
                break;
            }
            this->moved(moved.count);  // once written: the digest reads it from the file
        }
    }
    auto overrun = [&] {
        return control_.fail(
            "Download failed: more than the " + std::to_string(download.expected) + " bytes announced arrived",
            OutcomeKind::connectionLost);
    };
    if (download.overran) overrun();
    if (!connections_.finish(fd, moved, localFailure || download.overran)) {
        if (download.overran) return overrun();
        if (received == 0 && !localFailure && connections_.retryRefusedSession())
            return receiveData(download, consume, file);
        return false;
    }
    // The data connection closed early, whatever the server then says.
    if (download.expected != unknownSize && received < download.expected)
        return control_.fail("Download incomplete: " + std::to_string(received) + " of " +
                                 std::to_string(download.expected) + " bytes received",
                             OutcomeKind::connectionLost);
    return true;
}

CallOutcome DataTransfers::put(const std::string& localPath, const std::string& remotePath, char mode,
                               uint64_t restartAt) {
    checked_ = {};
    DataRequest request{.command = "STOR " + remotePath, .type = mode, .restartAt = restartAt};
    std::optional<ChecksumMethod> method;
    if (!control_.requireType(mode) || !control_.requireConnection() || !planCheck(mode, method))
        return outcome(false, request);
    FileMoveScope scope(limiting_, rateLimit_.get(), hashing_);
    bool ok = putOnce(localPath, remotePath, request, method) ||
              (connections_.retryRefusedSession() && putOnce(localPath, remotePath, request, method));
    return outcome(ok, request);
}

bool DataTransfers::putOnce(const std::string& localPath, const std::string& remotePath, DataRequest& request,
                            const std::optional<ChecksumMethod>& method) {
    platform::FileReader file;
    std::string error;
    if (!file.openPlainFile(localPath, &error)) return control_.fail("cannot open " + error, OutcomeKind::localError);
    if (request.restartAt > 0 && !file.skipTo(request.restartAt, &error))
        return control_.fail("cannot read " + error, OutcomeKind::localError);
    platform::TrailingDigest digest;
    if (method && !startDigest(digest, localPath, *method, request.restartAt)) return false;
    AsciiEncoder encoder;
    std::vector<char> buffer;  // made at the first chunk: plain image data goes without it
    auto produce = [&](std::string& chunk) {
        buffer.resize(dataChunk);
        long n = file.read(buffer.data(), buffer.size(), &error);
        if (n < 0) return control_.fail("cannot read " + error, OutcomeKind::localError);
        std::string_view data(buffer.data(), static_cast<size_t>(n));
        if (request.type == asciiType)
            encoder.encode(data, chunk);
        else
            chunk.assign(data);
        return true;
    };
    const uint64_t size = file.size();
    const bool sent = sendData(request, produce, size - std::min(request.restartAt, size),
                               request.type == imageType ? &file : nullptr);
    if (sent && method) return verify(*method, digest, remotePath, "sent");
    hashing_ = nullptr;
    return sent;
}

bool DataTransfers::sendData(DataRequest& request, const Producer& produce, uint64_t expectedSize,
                             platform::FileReader* file) {
    int fd;
    if (!connections_.open(request, fd)) return false;
    if (progress_) progress_->dataStarted(expectedSize);
    platform::TlsConnection& tls = connections_.tls();
    platform::IoOutcome moved;
    bool localFailure = false;
    // The kernel moves plain data; TLS records pass through the loop.
    if (file && !tls.active() && !limiting_) {
        platform::FileMove move = platform::sendFile(fd, *file, control_.limit(), progressCallback());
        moved = move.net;
        localFailure = move.localFailed;
        if (localFailure) control_.fail("cannot read " + move.localError, OutcomeKind::localError);
    } else {
        std::string chunk;
        for (;;) {
            chunk.clear();
            if (!produce(chunk)) {
                localFailure = true;
                break;
            }
            if (chunk.empty()) break;
            moved = platform::sendAll(fd, tls, chunk.data(), chunk.size(), control_.limit());
            if (moved.count > 0) this->moved(moved.count);
            if (!moved.ok()) break;
        }
    }
    return connections_.finish(fd, moved, localFailure);
}

}  // namespace dorvan
