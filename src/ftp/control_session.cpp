#include "ftp/control_session.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "ftp/ftp_text.h"
#include "ftp/session_trace.h"

namespace dorvan {
namespace {

using platform::SocketStatus;
using Clock = std::chrono::steady_clock;

constexpr size_t controlChunk = 4096;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<int64_t>(left, INT_MAX)) : 0;
}

}  // namespace

ControlSession::~ControlSession() { platform::closeSocket(fd_); }

void ControlSession::setTimeout(int seconds) { timeoutSeconds_ = seconds; }

platform::WaitLimit ControlSession::limit() const {
    int seconds = timeoutSeconds_ > 0 ? std::min(timeoutSeconds_, INT_MAX / 1000) : 60;
    return {seconds * 1000, abortSignal_.fd()};
}

void ControlSession::beginCall() {
    note_.clear();
    reply_.clear();
    kind_ = OutcomeKind::ok;
}

CallOutcome ControlSession::outcome() const {
    return {.kind = kind_, .code = replyCode(reply_), .text = note_.empty() ? reply_ : note_};
}

bool ControlSession::fail(std::string note, OutcomeKind kind) {
    note_ = std::move(note);
    kind_ = kind;
    return false;
}

bool ControlSession::lose(const platform::IoOutcome& outcome, std::string_view during) {
    platform::shutdownSocket(fd_);
    lost_ = true;
    if (outcome.status == SocketStatus::aborted) return fail("Aborted", OutcomeKind::localError);
    if (outcome.status == SocketStatus::timedOut)
        return fail("Timeout: nothing happened for " + std::to_string(limit().timeoutMs / 1000) + " seconds while " +
                        std::string(during),
                    OutcomeKind::timedOut);
    return fail("Connection to the server lost while " + std::string(during) + ": " + outcome.text(),
                OutcomeKind::connectionLost);
}

// A handshake is bounded as a whole: a server that sends a byte now and then
// has not been silent.
bool ControlSession::handshakeTimedOut(std::string_view handshake) {
    return fail("Timeout: the " + std::string(handshake) + " did not end within " +
                    std::to_string(limit().timeoutMs / 1000) + " seconds",
                OutcomeKind::timedOut);
}

bool ControlSession::requireConnection() { return fd_ >= 0 || fail("Not connected", OutcomeKind::connectionLost); }

bool ControlSession::requireType(char type) {
    return type == asciiType || type == imageType ||
           fail(std::string("Invalid transfer type '") + type + "'", OutcomeKind::localError);
}

void ControlSession::discardWaitingReplies() {
    char buffer[controlChunk];
    for (;;) {
        if (!received_.empty()) traceReply(received_);
        received_.clear();
        platform::IoOutcome got = platform::receiveSome(fd_, tls_, buffer, sizeof buffer, {0, -1});
        if (!got.ok()) return;  // nothing waiting; a closed connection shows when the command is sent
        received_.assign(buffer, got.count);
    }
}

bool ControlSession::command(std::string_view text, char expected, std::string_view shown) {
    if (!requireConnection()) return false;
    if (aborted_) return lose({SocketStatus::aborted}, "sending a command");
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return fail("Refused to send a command containing a line break", OutcomeKind::localError);
    if (!lost_) discardWaitingReplies();
    traceCommand(shown.empty() ? text : shown);
    std::string line(text);
    line += "\r\n";
    platform::IoOutcome sent = platform::sendAll(fd_, tls_, line.data(), line.size(), limit());
    if (!sent.ok()) return lose(sent, "sending a command");
    return readReply(expected);
}

bool ControlSession::commandLines(const std::string& text, char expected, std::vector<std::string>& lines) {
    replyLines_ = &lines;
    bool ok = command(text, expected);
    replyLines_ = nullptr;
    return ok;
}

bool ControlSession::readReply(char expected, std::string_view during) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit().timeoutMs);
    do {
        if (!readOneReply(deadline, during)) return false;
    } while (reply_[0] == '1' && expected != '1');  // preliminary: the final reply follows
    if (reply_[0] == expected) {
        kind_ = OutcomeKind::ok;
        return true;
    }
    const int code = replyCode(reply_);
    kind_ = refusalKind(code);
    if (code == 421) {  // the server is closing the connection
        platform::shutdownSocket(fd_);
        lost_ = true;
    }
    return false;
}

bool ControlSession::readOneReply(Clock::time_point deadline, std::string_view during) {
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
        platform::IoOutcome got =
            platform::receiveSome(fd_, tls_, buffer, sizeof buffer, {remainingMs(deadline), abortSignal_.fd()});
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
    platform::shutdownSocket(fd_);
    lost_ = true;
    if (parser_.state() == ReplyParser::State::tooLong)
        return fail("Reply from the server too long (a line over " + std::to_string(ReplyParser::lineCap) +
                    " bytes or a reply over " + std::to_string(ReplyParser::replyCap) + " bytes)");
    return fail("Unexpected reply from the server: " + std::string(parser_.line().substr(0, 200)));
}

bool ControlSession::setType(char type) {
    if (type_ == type && !lost_) return true;
    type_ = 0;
    if (!command(std::string("TYPE ") + type, '2')) return false;
    type_ = type;
    return true;
}

void ControlSession::setTls(TlsMode mode, const platform::TlsTrust& trust) {
    tlsMode_ = mode;
    tlsTrust_ = trust;
}

std::string ControlSession::certificateProblem() const {
    return tls_.active() && !tlsClient_.verifies() ? tls_.certificateProblem() : std::string();
}

bool ControlSession::startTls() {
    platform::IoOutcome shaken = tls_.handshake(tlsClient_, platform::TlsRole::control, fd_, host_, limit());
    if (shaken.status == SocketStatus::failed)
        return fail("TLS handshake failed: " + shaken.reason, OutcomeKind::localError);
    if (!shaken.ok()) {
        lose(shaken, "starting TLS");
        return shaken.status == SocketStatus::timedOut ? handshakeTimedOut("TLS handshake") : false;
    }
    traceTls("control connection", tls_);
    return true;
}

// Nothing goes out in clear after a refusal: the connection is dropped.
bool ControlSession::requestTls() {
    if (!command("AUTH TLS", '2')) return note_.empty() ? fail("The server refuses TLS: " + reply_) : false;
    received_.clear();  // bytes sent in clear after the go-ahead belong to no reply
    return startTls();
}

bool ControlSession::connect(const std::string& host, int port) {
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
    fd_ = fd;
    platform::peerAddress(fd, peer_);
    host_ = hostAddress;
    connectionTls_ = tlsMode_;
    if ((connectionTls_ != TlsMode::implicitTls || startTls()) && readReply('2', "waiting for the greeting") &&
        (connectionTls_ != TlsMode::explicitTls || requestTls()))
        return true;
    close();  // refused (such as 421), no greeting or no TLS: the call's account says which
    return false;
}

bool ControlSession::logIn(const std::string& user, const std::string& password) {
    if (command("USER " + user, '3')) return command("PASS " + password, '2', "PASS ****");
    return note_.empty() && !reply_.empty() && reply_[0] == '2';  // 2xx: no password needed
}

void ControlSession::learnServer() {
    systemType_.clear();
    if (command("SYST", '2')) systemType_ = replyWord(reply_);
    std::vector<std::string> lines;
    if (commandLines("FEAT", '2', lines)) features_ = parseFeatures(lines);
}

void ControlSession::walked(const std::string& step) {
    if (step.starts_with("CWD /")) {
        knownFolder_.clear();
        folderTrail_.clear();
    }
    folderTrail_.push_back(step);
}

void ControlSession::foundFolder(const std::string& folder) {
    knownFolder_ = folder;
    folderTrail_.clear();
}

void ControlSession::close() {
    if (fd_ < 0) return;
    tls_.closeQuietly();
    tls_.release();
    connectionTls_ = TlsMode::none;
    platform::shutdownSocket(fd_);
    platform::closeSocket(fd_);
    fd_ = -1;
    peer_ = {};
    lost_ = false;
    received_.clear();
    systemType_.clear();
    features_ = {};
    type_ = 0;
    knownFolder_.clear();
    folderTrail_.clear();
}

void ControlSession::abort() {
    aborted_ = true;
    abortSignal_.raise();
}

bool ControlSession::pause(int milliseconds) { return platform::pauseUnlessRaised(abortSignal_, milliseconds); }

}  // namespace dorvan
