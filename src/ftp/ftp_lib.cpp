// The session over its own control connection.
//
// Replies. Every byte the server sends on the control connection goes through
// ReplyParser, which bounds each line and each reply. Bytes read past the end
// of a reply stay in received_ for the next one; before a command is sent,
// whatever is already waiting is dropped (a reply can only answer the command
// that caused it). A reply read waits past 1xx replies for the final one, and
// the whole read, not each piece of it, ends within the limit of setTimeout.
//
// Data. Transfers and listings open their data connections here: passive
// mode connects to the control connection's peer whatever address the PASV
// reply names, active mode accepts a connection from that peer only. The
// data of image-type file transfers on plain connections moves between socket and file inside the
// kernel (data_move.h), ASCII type is converted by AsciiDecoder/AsciiEncoder,
// and a transfer succeeds only on the server's final 2xx reply.
//
// A connection that missed a deadline, was aborted or got out of step is shut
// down and stays given up (isOpen false) until the next connect: a late reply
// could otherwise be taken for the answer to a later command.
#include "ftp/ftp_lib.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <utility>

#include "ftp/ftp_text.h"
#include "ftp/ftp_time.h"
#include "ftp/masked_command.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/data_move.h"
#include "platform/local_file.h"

namespace dorvan {
namespace {

using platform::SocketStatus;
using Clock = std::chrono::steady_clock;

constexpr char asciiType = 'A';
constexpr char imageType = 'I';
constexpr size_t dataChunk = 64 * 1024;
constexpr size_t controlChunk = 4096;
// A listing line longer than this is no entry (no name is that long); it is never parsed.
constexpr size_t maxListingLine = 64 * 1024;
const std::string notConnected = "Not connected";

std::atomic<int>& debugLevel() {
    static std::atomic<int> level{0};
    return level;
}

void traceCommand(std::string_view command) {
    if (debugLevel() > 2) platform::consoleWriteError(maskedCommand(command) + "\n");
}

void traceReply(std::string_view line) {
    if (debugLevel() > 1) platform::consoleWriteError(line);
}

void traceTls(std::string_view connection, const platform::TlsConnection& tls) {
    if (debugLevel() > 1) platform::consoleWriteError("TLS " + std::string(connection) + ": " + tls.summary() + "\n");
}

bool validType(char type) { return type == asciiType || type == imageType; }

std::string invalidType(char type) { return std::string("Invalid transfer type '") + type + "'"; }

std::string withPath(const char* verb, const std::string& path) {
    return path.empty() ? std::string(verb) : std::string(verb) + " " + path;
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<int64_t>(left, INT_MAX)) : 0;
}

// A handshake is bounded as a whole: a server that sends a byte now and then
// has not been silent.
std::string handshakeTimeout(std::string_view handshake, const platform::WaitLimit& limit) {
    return "Timeout: the " + std::string(handshake) + " did not end within " + std::to_string(limit.timeoutMs / 1000) +
           " seconds";
}

}  // namespace

// Holds the session lock for one operation. The outermost one also starts a
// fresh account of failure.
class FtpLib::Operation {
public:
    explicit Operation(FtpLib& session) : session_(session), hold_(session.lock_) {
        if (session_.depth_++ > 0) return;
        session_.note_.clear();
        session_.reply_.clear();
        session_.kind_ = OutcomeKind::ok;
        session_.transferBegun_ = false;
    }
    ~Operation() { --session_.depth_; }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    FtpLib& session_;
    std::lock_guard<std::recursive_mutex> hold_;
};

FtpLib::FtpLib() = default;

FtpLib::~FtpLib() { platform::closeSocket(controlFd_); }

void FtpLib::setTimeout(int seconds) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    timeoutSeconds_ = seconds;
}

void FtpLib::setDebugLevel(int level) { debugLevel() = level; }

void FtpLib::setProgress(TransferProgress* progress) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    progress_ = progress;
}

platform::MovedBytes FtpLib::progressCallback() {
    if (!progress_) return {};
    return [progress = progress_](uint64_t bytes) { progress->dataMoved(bytes); };
}

platform::WaitLimit FtpLib::limit() const {
    int seconds = timeoutSeconds_ > 0 ? std::min(timeoutSeconds_, INT_MAX / 1000) : 60;
    return {seconds * 1000, abortSignal_.fd()};
}

bool FtpLib::fail(std::string note, OutcomeKind kind) {
    note_ = std::move(note);
    kind_ = kind;
    return false;
}

// The control connection is out of step or gone: nothing more is read from it.
bool FtpLib::lose(const platform::IoOutcome& outcome, std::string_view during) {
    platform::shutdownSocket(controlFd_);
    lost_ = true;
    if (outcome.status == SocketStatus::aborted) return fail("Aborted", OutcomeKind::localError);
    if (outcome.status == SocketStatus::timedOut)
        return fail("Timeout: nothing happened for " + std::to_string(limit().timeoutMs / 1000) + " seconds while " +
                        std::string(during),
                    OutcomeKind::timedOut);
    return fail("Connection to the server lost while " + std::string(during) + ": " + outcome.text(),
                OutcomeKind::connectionLost);
}

void FtpLib::discardWaitingReplies() {
    char buffer[controlChunk];
    for (;;) {
        if (!received_.empty()) traceReply(received_);
        received_.clear();
        platform::IoOutcome got = platform::receiveSome(controlFd_, controlTls_, buffer, sizeof buffer, {0, -1});
        if (!got.ok()) return;  // nothing waiting; a closed connection shows when the command is sent
        received_.assign(buffer, got.count);
    }
}

bool FtpLib::command(std::string_view text, char expected, std::string_view shown) {
    if (controlFd_ < 0) return fail(notConnected, OutcomeKind::connectionLost);
    if (aborted_) return lose({SocketStatus::aborted}, "sending a command");
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return fail("Refused to send a command containing a line break", OutcomeKind::localError);
    if (!lost_) discardWaitingReplies();
    traceCommand(shown.empty() ? text : shown);
    std::string line(text);
    line += "\r\n";
    platform::IoOutcome sent = platform::sendAll(controlFd_, controlTls_, line.data(), line.size(), limit());
    if (!sent.ok()) return lose(sent, "sending a command");
    return readReply(expected);
}

bool FtpLib::readReply(char expected, std::string_view during) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit().timeoutMs);
    do {
        if (!readOneReply(deadline, during)) return false;
    } while (reply_[0] == '1' && expected != '1');  // preliminary: the final reply follows
    if (reply_[0] == expected) {
        kind_ = OutcomeKind::ok;
        return true;
    }
    kind_ = refusalKind(replyCode(reply_));
    if (replyCode(reply_) == 421) {  // the server is closing the connection
        platform::shutdownSocket(controlFd_);
        lost_ = true;
    }
    return false;
}

bool FtpLib::readOneReply(Clock::time_point deadline, std::string_view during) {
    parser_.reset();
    if (replyLines_) replyLines_->clear();
    char buffer[controlChunk];
    for (;;) {
        size_t used = 0;
        while (used < received_.size() && !parser_.finished()) {
            used += parser_.feed(std::string_view(received_).substr(used));
            if (parser_.state() == ReplyParser::State::partial) continue;
            traceReply(parser_.rawLine());
            if (replyLines_ && !parser_.failed()) replyLines_->emplace_back(parser_.line());
        }
        received_.erase(0, used);
        if (parser_.finished()) break;
        platform::IoOutcome got = platform::receiveSome(controlFd_, controlTls_, buffer, sizeof buffer,
                                                        {remainingMs(deadline), abortSignal_.fd()});
        if (got.status == SocketStatus::timedOut) {
            lose(got, during);
            return fail("Timeout: no complete reply within " + std::to_string(limit().timeoutMs / 1000) +
                            " seconds while " + std::string(during),
                        OutcomeKind::timedOut);
        }
        if (!got.ok()) return lose(got, during);
        received_.assign(buffer, got.count);
    }
    if (parser_.state() == ReplyParser::State::complete) {
        reply_ = parser_.line();
        return true;
    }
    platform::shutdownSocket(controlFd_);
    lost_ = true;
    if (parser_.state() == ReplyParser::State::tooLong)
        return fail("Reply from the server too long (a line over " + std::to_string(ReplyParser::lineCap) +
                    " bytes or a reply over " + std::to_string(ReplyParser::replyCap) + " bytes)");
    return fail("Unexpected reply from the server: " + std::string(parser_.line().substr(0, 200)));
}

void FtpLib::setTls(TlsMode mode, const platform::TlsTrust& trust) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    tlsMode_ = mode;
    tlsTrust_ = trust;
}

std::string FtpLib::certificateProblem() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return controlTls_.active() && !tlsClient_.verifies() ? controlTls_.certificateProblem() : std::string();
}

bool FtpLib::startControlTls() {
    platform::IoOutcome shaken =
        controlTls_.handshake(tlsClient_, platform::TlsRole::control, controlFd_, host_, limit());
    if (shaken.status == SocketStatus::failed)
        return fail("TLS handshake failed: " + shaken.reason, OutcomeKind::localError);
    if (!shaken.ok()) lose(shaken, "starting TLS");
    if (shaken.status == SocketStatus::timedOut)
        return fail(handshakeTimeout("TLS handshake", limit()), OutcomeKind::timedOut);
    if (!shaken.ok()) return false;
    traceTls("control connection", controlTls_);
    return true;
}

// Nothing goes out in clear after a refusal: the connection is dropped.
bool FtpLib::requestTls() {
    if (!command("AUTH TLS", '2')) return note_.empty() ? fail("The server refuses TLS: " + reply_) : false;
    received_.clear();  // bytes sent in clear after the go-ahead belong to no reply
    return startControlTls();
}

bool FtpLib::protectData() {
    dataProtected_ = command("PBSZ 0", '2') && command("PROT P", '2');
    return dataProtected_;
}

bool FtpLib::connect(const std::string& host, int port) {
    Operation op(*this);
    close();
    ++connections_;
    aborted_ = false;
    abortSignal_.clear();
    if (port < 1 || port > 65535)
        return fail("Invalid port " + std::to_string(port) + ": a port is a number from 1 to 65535",
                    OutcomeKind::localError);
    std::vector<platform::SocketAddress> addresses;
    std::string error;
    if (host.empty()) return fail("No host name", OutcomeKind::localError);
    if (tlsMode_ != TlsMode::none && !tlsClient_.configure(tlsTrust_, &error))
        return fail("TLS: " + error, OutcomeKind::localError);
    const std::string hostAddress(withoutBrackets(host));  // "[::1]" is the address ::1
    if (!platform::resolveHost(hostAddress, static_cast<uint16_t>(port), addresses, &error))
        return fail("Cannot find the host " + host + ": " + error, OutcomeKind::connectionLost);
    platform::IoOutcome outcome;
    int fd = -1;
    for (const platform::SocketAddress& address : addresses) {
        fd = platform::connectTcp(address, limit(), outcome);
        if (fd >= 0 || outcome.status == SocketStatus::aborted || outcome.status == SocketStatus::timedOut) break;
    }
    if (fd < 0) {
        if (outcome.status == SocketStatus::aborted) return fail("Aborted", OutcomeKind::localError);
        if (outcome.status == SocketStatus::timedOut)
            return fail("Timeout: no connection to " + host + " within " + std::to_string(limit().timeoutMs / 1000) +
                            " seconds",
                        OutcomeKind::timedOut);
        return fail("Cannot connect to " + host + " port " + std::to_string(port) + ": " + outcome.text(),
                    OutcomeKind::connectionLost);
    }
    controlFd_ = fd;
    platform::peerAddress(fd, peer_);
    host_ = hostAddress;
    connectionTls_ = tlsMode_;
    if ((connectionTls_ != TlsMode::implicitTls || startControlTls()) && readReply('2', "waiting for the greeting") &&
        (connectionTls_ != TlsMode::explicitTls || requestTls()))
        return true;
    close();  // refused (such as 421), no greeting or no TLS: lastResponse says which
    return false;
}

bool FtpLib::login(const std::string& user, const std::string& password) {
    Operation op(*this);
    if (!command("USER " + user, '3')) {
        if (!note_.empty() || reply_.empty() || reply_[0] != '2') return false;  // 2xx: no password needed
    } else if (!command("PASS " + password, '2', "PASS ****")) {
        return false;
    }
    if (connectionTls_ != TlsMode::none) protectData();  // a refusal fails the transfers, with its reply
    systemType_.clear();
    std::string type;
    if (sysType(type)) systemType_ = type;
    std::vector<std::string> features;
    if (commandLines("FEAT", '2', features)) features_ = parseFeatures(features);
    return true;
}

bool FtpLib::setActive() {
    Operation op(*this);
    if (controlFd_ < 0) return fail(notConnected, OutcomeKind::connectionLost);
    passive_ = false;
    return true;
}

bool FtpLib::setPassive() {
    Operation op(*this);
    if (controlFd_ < 0) return fail(notConnected, OutcomeKind::connectionLost);
    passive_ = true;
    return true;
}

bool FtpLib::setType(char type) {
    if (type_ == type && !lost_) return true;
    type_ = 0;
    if (!command(std::string("TYPE ") + type, '2')) return false;
    type_ = type;
    return true;
}

// Passive mode: the data connection goes to the control connection's peer,
// with the port from the reply; an address the reply names is ignored.
bool FtpLib::openPassive(int& dataFd) {
    std::optional<uint16_t> port;
    if (peer_.isIpv6()) {
        if (!command("EPSV", '2')) return false;
        port = parseExtendedPassiveReply(reply_);
        if (!port) return fail("Unexpected reply to EPSV: " + reply_);
    } else {
        if (!command("PASV", '2')) return false;
        std::optional<platform::Ipv4Endpoint> endpoint = parsePassiveReply(reply_);
        if (!endpoint || endpoint->port == 0) return fail("Unexpected reply to PASV: " + reply_);
        port = endpoint->port;
    }
    platform::IoOutcome outcome;
    dataFd = platform::connectTcp(peer_.withPort(*port), limit(), outcome);
    if (dataFd < 0 && outcome.status == SocketStatus::aborted) return lose(outcome, "opening the data connection");
    if (dataFd < 0) return fail("Cannot open the data connection: " + outcome.text(), OutcomeKind::connectionLost);
    return true;
}

// With TLS the data connection runs it too, resuming a session the server
// issued on this session's connections; its handshake follows the 1xx reply.
bool FtpLib::openData(const std::string& command, char type, int& dataFd) {
    if (connectionTls_ != TlsMode::none && !dataProtected_ && !protectData()) return false;
    tlsClient_.forgetRefusal();
    if (!openDataConnection(command, type, dataFd) || !dataProtected_) return dataFd >= 0;
    platform::IoOutcome shaken = dataTls_.handshake(tlsClient_, platform::TlsRole::data, dataFd, host_, limit());
    if (shaken.ok()) {
        traceTls("data connection", dataTls_);
        return true;
    }
    std::string reason = shaken.status == SocketStatus::failed ? shaken.reason : shaken.text();
    dataTls_.release();
    platform::resetSocket(dataFd);
    dataFd = -1;
    if (shaken.status == SocketStatus::timedOut) {
        lose(shaken, "starting TLS on the data connection");
        return fail(handshakeTimeout("TLS handshake on the data connection", limit()), OutcomeKind::timedOut);
    }
    if (shaken.status == SocketStatus::aborted) return lose(shaken, "starting TLS on the data connection");
    readReply('2');
    return fail("TLS handshake on the data connection failed: " + reason,
                shaken.status == SocketStatus::failed ? OutcomeKind::localError : OutcomeKind::connectionLost);
}

bool FtpLib::openDataConnection(const std::string& command, char type, int& dataFd) {
    dataFd = -1;
    if (!setType(type)) return false;
    if (passive_) {
        int fd;
        if (!openPassive(fd)) return false;
        if (!sendRestart() || !this->command(command, '1')) {
            platform::closeSocket(fd);
            return false;
        }
        transferBegun_ = true;
        dataFd = fd;
        return true;
    }
    platform::IoOutcome outcome;
    platform::SocketAddress bound;
    int listener = platform::listenBeside(controlFd_, bound, outcome);
    if (listener < 0) return fail("Cannot open the data connection: " + outcome.text(), OutcomeKind::connectionLost);
    std::optional<platform::Ipv4Endpoint> ipv4 = bound.ipv4();
    std::string announce = ipv4 ? portCommand(*ipv4) : eprtCommand(bound.hostText(), true, bound.port());
    if (this->command(announce, '2') && sendRestart() && this->command(command, '1')) {
        transferBegun_ = true;
        // A reply that came with the 1xx is either the server's reason (such
        // as 425) or, for a small transfer, already its end (226).
        bool finalReplyWaiting = !received_.empty();
        if (finalReplyWaiting && received_[0] != '2') {
            readReply('2');
        } else {
            dataFd = platform::acceptFrom(listener, peer_, finalReplyWaiting ? -1 : controlFd_, limit(), outcome);
            if (dataFd < 0 && outcome.status == SocketStatus::otherReady)
                readReply('2');  // the server's reason, such as 425
            else if (dataFd < 0)
                lose(outcome, "waiting for the data connection");
        }
    }
    platform::closeSocket(listener);
    return dataFd >= 0;
}

// With TLS, the data is complete only when the TLS close came (the download
// stops at it) and ours went out and was answered (uploads wait for that).
bool FtpLib::finishData(int dataFd, const platform::IoOutcome& movedData, bool localFailure) {
    platform::IoOutcome moved = movedData;
    if (dataTls_.active()) {
        dataTls_.readIssuedSessions();  // a failed transfer's too: they may serve the next
        if (moved.ok() && !localFailure) moved = dataTls_.close(limit(), true);
    }
    std::string movedText = moved.text();
    dataTls_.release();
    if (moved.ok() && !localFailure)
        platform::closeSocket(dataFd);
    else
        platform::resetSocket(dataFd);  // the server sees a broken transfer, not a complete one
    if (moved.status == SocketStatus::timedOut || moved.status == SocketStatus::aborted)
        return lose(moved, "moving data");
    std::string localNote = localFailure ? note_ : std::string();
    bool confirmed = readReply('2');
    if (localFailure) return fail(localNote, OutcomeKind::localError);
    if (!moved.ok())
        return confirmed ? fail("Data connection failed: " + movedText, OutcomeKind::connectionLost) : false;
    return confirmed;
}

bool FtpLib::download(const std::string& command, char type, const Consumer& consume, uint64_t expectedSize,
                      platform::ReplacingFileWriter* file) {
    int fd;
    if (!openData(command, type, fd)) return false;
    // A file's transfer may announce its size ("150 ... (N bytes)"); a listing's is not held to it.
    if (command.starts_with("RETR ")) {
        announcedSize_ = parseAnnouncedSize(reply_).value_or(unknownSize);
        if (expectedSize == unknownSize && restartAt_ == 0) expectedSize = announcedSize_;
    }
    if (progress_) progress_->dataStarted(expectedSize);
    platform::IoOutcome moved;
    bool localFailure = false;
    uint64_t received = 0;
    // The kernel moves plain data; TLS records pass through the loop.
    if (file && !dataTls_.active()) {
        platform::FileMove move = platform::receiveToFile(fd, *file, dataPipe_, limit(), progressCallback());
        moved = move.net;
        received = move.bytes;
        localFailure = move.localFailed;
        if (localFailure) fail(move.localError, OutcomeKind::localError);
    } else {
        std::vector<char> buffer(dataChunk);
        for (;;) {
            moved = platform::receiveSome(fd, dataTls_, buffer.data(), buffer.size(), limit());
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
    if (!finishData(fd, moved, localFailure)) {
        if (received == 0 && !localFailure && retryRefusedSession())
            return download(command, type, consume, expectedSize, file);
        return false;
    }
    // The data connection closed early, whatever the server then says.
    if (expectedSize != unknownSize && received < expectedSize)
        return fail("Download incomplete: " + std::to_string(received) + " of " + std::to_string(expectedSize) +
                        " bytes received",
                    OutcomeKind::connectionLost);
    return true;
}

bool FtpLib::upload(const std::string& command, char type, const Producer& produce, uint64_t expectedSize,
                    platform::FileReader* file) {
    int fd;
    if (!openData(command, type, fd)) return false;
    if (progress_) progress_->dataStarted(expectedSize);
    platform::IoOutcome moved;
    bool localFailure = false;
    // The kernel moves plain data; TLS records pass through the loop.
    if (file && !dataTls_.active()) {
        platform::FileMove move = platform::sendFile(fd, *file, limit(), progressCallback());
        moved = move.net;
        localFailure = move.localFailed;
        if (localFailure) fail("cannot read " + move.localError, OutcomeKind::localError);
    } else {
        std::string chunk;
        for (;;) {
            chunk.clear();
            if (!produce(chunk)) {
                localFailure = true;
                break;
            }
            if (chunk.empty()) break;
            moved = platform::sendAll(fd, dataTls_, chunk.data(), chunk.size(), limit());
            if (progress_ && moved.count > 0) progress_->dataMoved(moved.count);
            if (!moved.ok()) break;
        }
    }
    return finishData(fd, moved, localFailure);
}

// Some servers take each TLS session once only and issue none on an upload:
// a data connection they refused for the session it offered is worth one more
// try when a fresh session came with the refusal.
bool FtpLib::retryRefusedSession() {
    if (lost_ || !(reply_.starts_with("425") || reply_.starts_with("522")) || !tlsClient_.retryAfterRefusal())
        return false;
    if (debugLevel() > 1) platform::consoleWriteError("TLS data connection: session not resumed, trying once more\n");
    note_.clear();
    return true;
}

bool FtpLib::downloadToFile(const std::string& localPath, const std::string& command, char type, uint64_t expectedSize,
                            KeptPart* part) {
    if (!validType(type)) return fail(invalidType(type), OutcomeKind::localError);
    if (controlFd_ < 0) return fail(notConnected, OutcomeKind::connectionLost);
    platform::ReplacingFileWriter file;
    std::string error;
    const bool opened = part && !part->path.empty() ? file.openPart(localPath, part->path, part->restartAt > 0, &error)
                                                    : file.open(localPath, &error);
    if (!opened) return fail(error, OutcomeKind::localError);
    auto write = [&](std::string_view data) {
        return file.write(data, &error) || fail(error, OutcomeKind::localError);
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
    bool ok = download(
        command, type,
        [&](std::string_view data) {
            if (type == imageType) return write(data);
            text.clear();
            decoder.decode(data, text);
            return writeText();
        },
        expectedSize, type == imageType ? &file : nullptr);
    if (ok && type == asciiType) {
        text.clear();
        decoder.finish(text);
        ok = writeText();
    }
    if (!ok && part) *part = {.path = file.keep(), .announced = announcedSize_};
    if (!ok) return false;
    if (!file.commit(&error)) return fail(error, OutcomeKind::localError);
    if (part) *part = {};
    return true;
}

bool FtpLib::downloadToConsole(const std::string& command) {
    AsciiDecoder decoder;
    std::string pending;
    bool ok = download(command, asciiType, [&](std::string_view data) {
        size_t before = pending.size();
        decoder.decode(data, pending);
        // Only the new text is searched: a line without an end is not rescanned.
        size_t end = std::string_view(pending).substr(before).rfind('\n');
        if (end != std::string::npos) {
            end += before;
            platform::consoleWrite(std::string_view(pending).substr(0, end + 1));
            pending.erase(0, end + 1);
        }
        return true;
    });
    decoder.finish(pending);
    if (!pending.empty()) platform::consoleWrite(pending + "\n");
    return ok;
}

bool FtpLib::put(const std::string& localPath, const std::string& remotePath, char mode, uint64_t restartAt) {
    Operation op(*this);
    if (!validType(mode)) return fail(invalidType(mode), OutcomeKind::localError);
    if (controlFd_ < 0) return fail(notConnected, OutcomeKind::connectionLost);
    restartAt_ = restartAt;
    bool ok = putOnce(localPath, remotePath, mode) || (retryRefusedSession() && putOnce(localPath, remotePath, mode));
    restartAt_ = 0;
    return ok;
}

bool FtpLib::putOnce(const std::string& localPath, const std::string& remotePath, char mode) {
    platform::FileReader file;
    std::string error;
    if (!file.openPlainFile(localPath, &error)) return fail("cannot open " + error, OutcomeKind::localError);
    if (restartAt_ > 0 && !file.skipTo(restartAt_, &error))
        return fail("cannot read " + error, OutcomeKind::localError);
    AsciiEncoder encoder;
    std::vector<char> buffer(dataChunk);
    auto produce = [&](std::string& chunk) {
        long n = file.read(buffer.data(), buffer.size(), &error);
        if (n < 0) return fail("cannot read " + error, OutcomeKind::localError);
        std::string_view data(buffer.data(), static_cast<size_t>(n));
        if (mode == asciiType)
            encoder.encode(data, chunk);
        else
            chunk.assign(data);
        return true;
    };
    const uint64_t size = file.size();
    return upload("STOR " + remotePath, mode, produce, size - std::min(restartAt_, size),
                  mode == imageType ? &file : nullptr);
}

bool FtpLib::get(const std::string& localPath, const std::string& remotePath, char mode, uint64_t expectedSize,
                 KeptPart* part) {
    Operation op(*this);
    restartAt_ = part ? part->restartAt : 0;
    announcedSize_ = unknownSize;
    if (expectedSize != unknownSize) expectedSize -= std::min(restartAt_, expectedSize);
    bool ok = downloadToFile(localPath, "RETR " + remotePath, mode, expectedSize, part);
    restartAt_ = 0;
    return ok;
}

bool FtpLib::sendRestart() {
    if (restartAt_ == 0 || command("REST " + std::to_string(restartAt_), '3')) return true;
    if (!note_.empty()) return false;
    restartRefused_ = true;  // announced but refused: the next try starts over
    return fail("REST refused: " + reply_, OutcomeKind::refusedTransient);
}

bool FtpLib::offersRestart() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return features_.restartsStreams && !restartRefused_;
}

bool FtpLib::size(const std::string& remotePath, uint64_t& size, char mode) {
    Operation op(*this);
    if (!validType(mode)) return fail(invalidType(mode), OutcomeKind::localError);
    if (!setType(mode) || !command("SIZE " + remotePath, '2')) return false;
    std::optional<uint64_t> value = parseSizeReply(reply_);
    if (!value) return fail("Unexpected reply to SIZE: " + reply_);
    size = *value;
    return true;
}

bool FtpLib::modDate(const std::string& remotePath, std::string& date) {
    Operation op(*this);
    date.clear();
    if (!command("MDTM " + remotePath, '2')) return false;
    date = replyText(reply_);
    return true;
}

bool FtpLib::mkdir(const std::string& remotePath) {
    Operation op(*this);
    return command("MKD " + remotePath, '2');
}

bool FtpLib::sysType(std::string& type) {
    {
        // Answered from the cache: nothing is exchanged, the last reply stays.
        std::lock_guard<std::recursive_mutex> hold(lock_);
        if (!systemType_.empty()) {
            type = systemType_;
            return true;
        }
    }
    Operation op(*this);
    type.clear();
    if (!command("SYST", '2')) return false;
    type = replyWord(reply_);
    return true;
}

bool FtpLib::isWindows() { return systemType_.find("Windows") != std::string::npos; }

bool FtpLib::chdir(const std::string& remotePath) {
    Operation op(*this);
    if (!command("CWD " + remotePath, '2')) return false;
    if (remotePath.starts_with('/')) folderTrail_.clear();
    folderTrail_.push_back("CWD " + remotePath);
    return true;
}

bool FtpLib::cdup() {
    Operation op(*this);
    if (!command("CDUP", '2')) return false;
    folderTrail_.push_back("CDUP");
    return true;
}

std::vector<std::string> FtpLib::folderTrail() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return folderTrail_;
}

bool FtpLib::retrace(const std::vector<std::string>& trail) {
    Operation op(*this);
    for (const std::string& step : trail) {
        if (!command(step, '2')) return false;
        if (step.starts_with("CWD /")) folderTrail_.clear();
        folderTrail_.push_back(step);
    }
    return true;
}

bool FtpLib::deleteFile(const std::string& remotePath) {
    Operation op(*this);
    return command("DELE " + remotePath, '2');
}

bool FtpLib::rmdir(const std::string& remotePath) {
    Operation op(*this);
    return command("RMD " + remotePath, '2');
}

bool FtpLib::pwd(std::string& folder) {
    Operation op(*this);
    folder.clear();
    if (!command("PWD", '2')) return false;
    std::optional<std::string> path = parseWorkingFolder(reply_);
    if (!path) return false;  // lastResponse shows the reply that names no folder
    folder = *path;
    return true;
}

std::string FtpLib::pwd() {
    Operation op(*this);
    std::string folder;
    pwd(folder);
    return folder;
}

bool FtpLib::listingText(const char* verb, const std::string& localPath, const std::string& remotePath) {
    Operation op(*this);
    std::string command = withPath(verb, remotePath);
    return localPath.empty() ? downloadToConsole(command) : downloadToFile(localPath, command, asciiType, unknownSize);
}

bool FtpLib::nlst(const std::string& localPath, const std::string& remotePath) {
    return listingText("NLST", localPath, remotePath);
}

bool FtpLib::listToFile(const std::string& localPath, const std::string& remotePath) {
    return listingText("LIST", localPath, remotePath);
}

bool FtpLib::list(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    Operation op(*this);
    auto listLine = [this](std::string_view line) { return parseLine(line, systemType_); };
    if (!features_.listsFacts || mlsdRefused_) return listing("LIST", remotePath, entries, listLine);
    if (listing("MLSD", remotePath, entries, parseMachineLine)) return true;
    // Lost, timed out or failed here: no other listing would fare better.
    if (lost_ || controlFd_ < 0 || !note_.empty()) return false;
    // The server refused MLSD: where LIST answers, MLSD is what failed, not the folder.
    mlsdRefused_ = listing("LIST", remotePath, entries, listLine);
    return mlsdRefused_;
}

bool FtpLib::listing(const char* verb, const std::string& remotePath, std::vector<FtpFileInfo>& entries,
                     const std::function<FtpFileInfo(std::string_view line)>& parse) {
    entries.clear();
    AsciiDecoder decoder;
    LineCutter cutter(maxListingLine);
    std::string text;
    auto add = [&](std::string_view line) {
        FtpFileInfo info = parse(line);
        if (!info.name.empty()) entries.push_back(std::move(info));
    };
    bool ok = download(withPath(verb, remotePath), asciiType, [&](std::string_view data) {
        text.clear();
        decoder.decode(data, text);
        cutter.feed(text, add);
        return true;
    });
    text.clear();
    decoder.finish(text);
    cutter.feed(text, add);
    cutter.finish(add);
    if (!ok) entries.clear();
    return ok;
}

bool FtpLib::commandLines(const std::string& text, char expected, std::vector<std::string>& lines) {
    replyLines_ = &lines;
    bool ok = command(text, expected);
    replyLines_ = nullptr;
    return ok;
}

bool FtpLib::modifyTime(const std::string& remotePath, int64_t& ticks) {
    Operation op(*this);
    ticks = unknownTime;
    std::vector<std::string> lines;
    if (features_.listsFacts && commandLines("MLST " + remotePath, '2', lines)) {
        // The entry is the reply's line that begins with a blank.
        for (const std::string& line : lines) {
            if (!line.starts_with(' ')) continue;
            FtpFileInfo entry = parseMachineLine(std::string_view(line).substr(1));
            if (entry.modify == unknownTime) break;
            ticks = entry.modify;
            return true;
        }
    }
    if (lost_ || controlFd_ < 0) return false;
    if (!command("MDTM " + remotePath, '2')) return false;
    std::optional<int64_t> seconds = parseTimeValue(replyText(reply_));
    if (!seconds) return fail("Unexpected reply to MDTM: " + reply_);
    ticks = platform::unixEpochTicks + *seconds * platform::ticksPerSecond;
    return true;
}

bool FtpLib::setsModifyTimes() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return features_.setsTimes;
}

bool FtpLib::setModifyTime(const std::string& remotePath, int64_t ticks) {
    Operation op(*this);
    const int64_t sinceEpoch = ticks - platform::unixEpochTicks;
    const int64_t seconds = sinceEpoch / platform::ticksPerSecond - (sinceEpoch % platform::ticksPerSecond < 0 ? 1 : 0);
    const std::string value = timeValueText(seconds);
    if (value.empty()) return fail("No modification time to set");
    return command("MFMT " + value + " " + remotePath, '2');
}

bool FtpLib::rename(const std::string& from, const std::string& to) {
    Operation op(*this);
    return command("RNFR " + from, '3') && command("RNTO " + to, '2');
}

std::string FtpLib::lastResponse() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return note_.empty() ? reply_ : note_;
}

bool FtpLib::sendCmd(const std::string& command, char expected) {
    Operation op(*this);
    return this->command(command, expected);
}

bool FtpLib::sendCmd(const char* command, char expected) {
    return sendCmd(std::string(command ? command : ""), expected);
}

bool FtpLib::utf8On() { return sendCmd("OPTS UTF8 ON", '2'); }

void FtpLib::quit() {
    Operation op(*this);
    if (controlFd_ < 0) return;
    if (!lost_) command("QUIT", '2');
    close();
}

// Leaves note_ and reply_ alone: a failed connect reports through them.
void FtpLib::close() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (controlFd_ < 0) return;
    controlTls_.closeQuietly();
    controlTls_.release();
    dataTls_.release();
    dataProtected_ = false;
    connectionTls_ = TlsMode::none;
    platform::shutdownSocket(controlFd_);
    platform::closeSocket(controlFd_);
    controlFd_ = -1;
    peer_ = {};
    lost_ = false;
    received_.clear();
    systemType_.clear();
    features_ = {};
    mlsdRefused_ = false;
    type_ = 0;
    folderTrail_.clear();
    restartRefused_ = false;
}

bool FtpLib::isOpen() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return controlFd_ >= 0 && !lost_;
}

CallOutcome FtpLib::lastOutcome() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return {.kind = kind_, .code = replyCode(reply_), .text = note_.empty() ? reply_ : note_, .begun = transferBegun_};
}

bool FtpLib::pause(int milliseconds) { return platform::pauseUnlessRaised(abortSignal_, milliseconds); }

void FtpLib::abort() {
    aborted_ = true;
    abortSignal_.raise();
}

std::unique_lock<std::recursive_mutex> FtpLib::hold() { return std::unique_lock<std::recursive_mutex>(lock_); }

}  // namespace dorvan
