#include "ftp/data_transfer.h"

#include <algorithm>
#include <vector>

#include "ftp/ftp_text.h"
#include "platform/local_file.h"

namespace dorvan {
namespace {

using platform::SocketStatus;

constexpr size_t dataChunk = 64 * 1024;

}  // namespace

// One download call, over all its tries.
struct DataTransfers::Download {
    DataRequest request;
    uint64_t expected = unknownSize;   // the size the data is held to; unknownSize for none
    uint64_t announced = unknownSize;  // what a RETR's 1xx reply said
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

platform::MovedBytes DataTransfers::progressCallback() const {
    if (!progress_) return {};
    return [progress = progress_](uint64_t bytes) { progress->dataMoved(bytes); };
}

CallOutcome DataTransfers::get(const std::string& localPath, const std::string& remotePath, char mode,
                               uint64_t expectedSize, KeptPart* part) {
    Download download{
        .request = {.command = "RETR " + remotePath, .type = mode, .restartAt = part ? part->restartAt : 0}};
    if (expectedSize != unknownSize) expectedSize -= std::min(download.request.restartAt, expectedSize);
    download.expected = expectedSize;
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
    const bool opened = part && !part->path.empty() ? file.openPart(localPath, part->path, part->restartAt > 0, &error)
                                                    : file.open(localPath, &error);
    if (!opened) return control_.fail(error, OutcomeKind::localError);
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
    if (!ok && part) *part = {.path = file.keep(), .announced = download.announced};
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
    platform::TlsConnection& tls = connections_.tls();
    platform::IoOutcome moved;
    bool localFailure = false;
    uint64_t received = 0;
    // The kernel moves plain data; TLS records pass through the loop.
    if (file && !tls.active()) {
        platform::FileMove move = platform::receiveToFile(fd, *file, pipe_, control_.limit(), progressCallback());
        moved = move.net;
        received = move.bytes;
        localFailure = move.localFailed;
        if (localFailure) control_.fail(move.localError, OutcomeKind::localError);
    } else {
        std::vector<char> buffer(dataChunk);
        for (;;) {
            moved = platform::receiveSome(fd, tls, buffer.data(), buffer.size(), control_.limit());
            if (moved.status == SocketStatus::closed) {
                moved = {};
                break;
            }
            if (!moved.ok()) break;
            received += moved.count;
            if (progress_) progress_->dataMoved(moved.count);
            if (!consume(std::string_view(buffer.data(), moved.count))) {
                localFailure = true;
                break;
            }
        }
    }
    if (!connections_.finish(fd, moved, localFailure)) {
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
    DataRequest request{.command = "STOR " + remotePath, .type = mode, .restartAt = restartAt};
    if (!control_.requireType(mode) || !control_.requireConnection()) return outcome(false, request);
    bool ok = putOnce(localPath, request) || (connections_.retryRefusedSession() && putOnce(localPath, request));
    return outcome(ok, request);
}

bool DataTransfers::putOnce(const std::string& localPath, DataRequest& request) {
    platform::FileReader file;
    std::string error;
    if (!file.openPlainFile(localPath, &error)) return control_.fail("cannot open " + error, OutcomeKind::localError);
    if (request.restartAt > 0 && !file.skipTo(request.restartAt, &error))
        return control_.fail("cannot read " + error, OutcomeKind::localError);
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
    return sendData(request, produce, size - std::min(request.restartAt, size),
                    request.type == imageType ? &file : nullptr);
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
    if (file && !tls.active()) {
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
            if (progress_ && moved.count > 0) progress_->dataMoved(moved.count);
            if (!moved.ok()) break;
        }
    }
    return connections_.finish(fd, moved, localFailure);
}

}  // namespace dorvan
