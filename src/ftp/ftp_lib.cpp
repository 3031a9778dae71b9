// The session over ftplib's control connection.
//
// Commands. ftplib buffers what it reads from the control connection, so
// every reply has to be read by the library itself. Its reply reader
// `readresp` is private; the build publishes it from a copy of libftp.a as
// `ftplib_readresp` (cmake/ftplib.cmake). This class writes each command
// itself (so PASS can be traced masked) and reads the reply with that reader.
// Each use checks that this is the reader it was built for: the reference is
// weak, so an ftplib without it makes commands fail with a clear text instead
// of calling into the void; a reader that returns with nothing in the
// library's reply buffer while the connection is alive, or with a reply that
// does not begin with a three-digit code, ends the connection with a clear
// text too.
//
// Data. Transfers and listings open their data connections here
// (platform/sockets) instead of through FtpAccess/FtpGet/FtpPut: the data is
// moved raw, ASCII type is converted by AsciiDecoder/AsciiEncoder, and a
// transfer succeeds only on the server's final 2xx reply.
//
// Deadlines. Our own socket calls poll with the limit of setTimeout and the
// abort signal. The library's blocking calls on the control connection
// (connect, greeting and reply reads, the QUIT write) are held to the same
// limit by the link-time wrappers of platform/wrapped_sockets. A connection
// that missed a deadline, or was aborted, is shut down: a late reply could
// otherwise be taken for the answer to a later command.
#include "ftp/ftp_lib.h"

#include <ftplib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>

#include "ftp/ftp_text.h"
#include "platform/console.h"
#include "platform/local_file.h"
#include "platform/wrapped_sockets.h"

extern "C" int ftplib_readresp(char expected, netbuf* control) __attribute__((weak));

namespace dorvan {
namespace {

using platform::SocketStatus;

constexpr size_t responseSize = 1024;  // ftplib's reply buffer: longer lines arrive in pieces
constexpr size_t dataChunk = 64 * 1024;
const std::string notConnected = "Not connected";
const std::string readerMissing = "Commands cannot be sent: the linked ftplib does not provide its reply reader";
const std::string readerBroken = "Commands cannot be sent: the reply reader of the linked ftplib delivered no reply";

std::mutex& debugLock() {
    static std::mutex lock;
    return lock;
}

void trace(std::string_view command) {
    if (ftplib_debug > 2) platform::consoleWriteError(std::string(command) + "\n");
}

bool validType(char type) { return type == FTPLIB_ASCII || type == FTPLIB_IMAGE; }

std::string invalidType(char type) { return std::string("Invalid transfer type '") + type + "'"; }

std::string withPath(const char* verb, const std::string& path) {
    return path.empty() ? std::string(verb) : std::string(verb) + " " + path;
}

bool isReplyCode(const char* text) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(text[0]) && digit(text[1]) && digit(text[2]);
}

}  // namespace

// Holds the session lock for one operation. The outermost one also starts a
// fresh account of failure and guards the library's waits on the control
// socket.
class FtpLib::Operation {
public:
    explicit Operation(FtpLib& session) : session_(session), hold_(session.lock_) {
        if (session_.depth_++ > 0) return;
        session_.note_.clear();
        if (session_.control_) FtpLastResponse(session_.control_)[0] = '\0';
        if (session_.controlFd_ >= 0) {
            guard_.emplace(session_.controlFd_, session_.limit());
            session_.guard_ = &*guard_;
        }
    }
    ~Operation() {
        if (--session_.depth_ == 0) session_.guard_ = nullptr;
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    FtpLib& session_;
    std::lock_guard<std::recursive_mutex> hold_;
    std::optional<platform::GuardedSocket> guard_;
};

FtpLib::FtpLib() { FtpInit(); }

FtpLib::~FtpLib() { close(); }

void FtpLib::setTimeout(int seconds) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    timeoutSeconds_ = seconds;
}

void FtpLib::setDebugLevel(int level) {
    std::lock_guard<std::mutex> hold(debugLock());
    ftplib_debug = level;
}

platform::WaitLimit FtpLib::limit() const {
    int seconds = timeoutSeconds_ > 0 ? std::min(timeoutSeconds_, INT_MAX / 1000) : 60;
    return {seconds * 1000, abortSignal_.fd()};
}

bool FtpLib::fail(std::string note) {
    note_ = std::move(note);
    return false;
}

std::string FtpLib::reply() const {
    const char* response = control_ ? FtpLastResponse(control_) : nullptr;
    return response ? std::string(trimLineEnd(response)) : std::string();
}

// The control connection is out of step or gone: nothing more is read from it.
bool FtpLib::lose(const platform::IoOutcome& outcome, std::string_view during) {
    platform::shutdownSocket(controlFd_);
    if (outcome.status == SocketStatus::aborted) return fail("Aborted");
    if (outcome.status == SocketStatus::timedOut)
        return fail("Timeout: nothing happened for " + std::to_string(limit().timeoutMs / 1000) + " seconds while " +
                    std::string(during));
    return fail("Connection to the server lost while " + std::string(during) + ": " + outcome.text());
}

bool FtpLib::command(std::string_view text, char expected, std::string_view shown) {
    if (!control_) return fail(notConnected);
    if (!ftplib_readresp) return fail(readerMissing);
    if (aborted_) return lose({SocketStatus::aborted}, "sending a command");
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return fail("Refused to send a command containing a line break");
    trace(shown.empty() ? text : shown);
    std::string line(text);
    line += "\r\n";
    platform::IoOutcome sent = platform::sendAll(controlFd_, line.data(), line.size(), limit());
    if (!sent.ok()) return lose(sent, "sending a command");
    return readReply(expected);
}

bool FtpLib::readReply(char expected) {
    char* response = FtpLastResponse(control_);
    response[0] = '\0';
    bool matched = ftplib_readresp(expected, control_) == 1;
    // A reply line longer than the library's buffer arrives in pieces; the
    // rest is read now, so it is never taken for the next reply.
    auto cut = [response] {
        size_t length = std::strlen(response);
        return length == responseSize - 1 && response[length - 1] != '\n';
    };
    if (cut()) {
        std::string first = response;
        for (int piece = 0; piece < 64 && cut(); ++piece) {
            response[0] = '\0';
            ftplib_readresp(' ', control_);
        }
        if (cut()) return lose({SocketStatus::failed, 0, EMSGSIZE}, "reading a reply");
        std::memcpy(response, first.c_str(), first.size() + 1);
    }
    if (response[0] != '\0') {
        if (isReplyCode(response)) return matched;
        platform::shutdownSocket(controlFd_);
        return fail("Unexpected reply from the server: " + reply());
    }
    SocketStatus failure = guard_ ? guard_->failure() : SocketStatus::ok;
    if (failure != SocketStatus::ok) return lose({failure}, "waiting for a reply");
    if (platform::connectionGone(controlFd_)) return lose({SocketStatus::closed}, "waiting for a reply");
    // The connection is fine, yet the reader delivered nothing: not the ftplib it was built for.
    platform::shutdownSocket(controlFd_);
    return fail(readerBroken);
}

// A failed connect leaves no server reply to quote, so lastResponse is empty
// then; at debug levels ftplib's own diagnostics name the cause.
bool FtpLib::connect(const std::string& host, int port) {
    Operation op(*this);
    close();
    aborted_ = false;
    abortSignal_.clear();
    // ftplib takes IPv4 only and would split "::1" at its first colon.
    if (host.empty() || host.find(':') != std::string::npos || port < 1 || port > 65535) return false;
    std::string address = host + ":" + std::to_string(port);
    platform::GuardedSocket guard(-1, limit());
    platform::GuardedSocket* outer = std::exchange(guard_, &guard);
    netbuf* control = nullptr;
    bool connected = FtpConnect(address.c_str(), &control) == 1 && control;
    guard_ = outer;
    if (!connected) return false;
    control_ = control;
    controlFd_ = guard.fd();
    return true;
}

bool FtpLib::login(const std::string& user, const std::string& password) {
    Operation op(*this);
    if (!command("USER " + user, '3')) {
        if (!note_.empty() || reply().empty() || reply()[0] != '2') return false;  // 2xx: no password needed
    } else if (!command("PASS " + password, '2', "PASS ****")) {
        return false;
    }
    systemType_.clear();
    std::string type;
    if (sysType(type)) systemType_ = type;
    return true;
}

bool FtpLib::setActive() {
    Operation op(*this);
    if (!control_) return fail(notConnected);
    passive_ = false;
    return true;
}

bool FtpLib::setPassive() {
    Operation op(*this);
    if (!control_) return fail(notConnected);
    passive_ = true;
    return true;
}

bool FtpLib::openData(const std::string& command, char type, int& dataFd) {
    dataFd = -1;
    if (!this->command(std::string("TYPE ") + type, '2')) return false;
    platform::IoOutcome outcome;
    if (passive_) {
        if (!this->command("PASV", '2')) return false;
        std::optional<platform::Ipv4Endpoint> endpoint = parsePassiveReply(reply());
        if (!endpoint) return fail("Unexpected reply to PASV: " + reply());
        int fd = platform::connectTcp(*endpoint, limit(), outcome);
        if (fd < 0 && outcome.status == SocketStatus::aborted) return lose(outcome, "opening the data connection");
        if (fd < 0) return fail("Cannot open the data connection: " + outcome.text());
        if (!this->command(command, '1')) {
            platform::closeSocket(fd);
            return false;
        }
        dataFd = fd;
        return true;
    }
    platform::Ipv4Endpoint bound;
    int listener = platform::listenBeside(controlFd_, bound, outcome);
    if (listener < 0) return fail("Cannot open the data connection: " + outcome.text());
    if (this->command(portCommand(bound), '2') && this->command(command, '1')) {
        dataFd = platform::acceptWithin(listener, controlFd_, limit(), outcome);
        if (dataFd < 0 && outcome.status == SocketStatus::otherReady)
            readReply('2');  // the server's reason, such as 425
        else if (dataFd < 0)
            lose(outcome, "waiting for the data connection");
    }
    platform::closeSocket(listener);
    return dataFd >= 0;
}

bool FtpLib::finishData(int dataFd, const platform::IoOutcome& moved, bool localFailure) {
    if (moved.ok() && !localFailure)
        platform::closeSocket(dataFd);
    else
        platform::resetSocket(dataFd);  // the server sees a broken transfer, not a complete one
    if (moved.status == SocketStatus::timedOut || moved.status == SocketStatus::aborted)
        return lose(moved, "moving data");
    std::string localNote = localFailure ? note_ : std::string();
    bool confirmed = readReply('2');
    if (localFailure) return fail(localNote);
    if (!moved.ok()) return confirmed ? fail("Data connection failed: " + moved.text()) : false;
    return confirmed;
}

bool FtpLib::download(const std::string& command, char type, const Consumer& consume) {
    int fd;
    if (!openData(command, type, fd)) return false;
    std::vector<char> buffer(dataChunk);
    platform::IoOutcome moved;
    bool localFailure = false;
    for (;;) {
        moved = platform::receiveSome(fd, buffer.data(), buffer.size(), limit());
        if (moved.status == SocketStatus::closed) {
            moved = {};
            break;
        }
        if (!moved.ok()) break;
        if (!consume(std::string_view(buffer.data(), moved.count))) {
            localFailure = true;
            break;
        }
    }
    return finishData(fd, moved, localFailure);
}

bool FtpLib::upload(const std::string& command, char type, const Producer& produce) {
    int fd;
    if (!openData(command, type, fd)) return false;
    platform::IoOutcome moved;
    bool localFailure = false;
    std::string chunk;
    for (;;) {
        chunk.clear();
        if (!produce(chunk)) {
            localFailure = true;
            break;
        }
        if (chunk.empty()) break;
        moved = platform::sendAll(fd, chunk.data(), chunk.size(), limit());
        if (!moved.ok()) break;
    }
    return finishData(fd, moved, localFailure);
}

bool FtpLib::downloadToFile(const std::string& localPath, const std::string& command, char type) {
    if (!validType(type)) return fail(invalidType(type));
    if (!control_) return fail(notConnected);
    platform::ReplacingFileWriter file;
    std::string error;
    if (!file.open(localPath, &error)) return fail(error);
    auto write = [&](std::string_view data) { return file.write(data, &error) || fail(error); };
    AsciiDecoder decoder;
    std::string text;
    bool ok = download(command, type, [&](std::string_view data) {
        if (type == FTPLIB_IMAGE) return write(data);
        text.clear();
        decoder.decode(data, text);
        return write(text);
    });
    if (ok && type == FTPLIB_ASCII) {
        text.clear();
        decoder.finish(text);
        ok = write(text);
    }
    return ok && (file.commit(&error) || fail(error));
}

bool FtpLib::downloadToConsole(const std::string& command) {
    AsciiDecoder decoder;
    std::string pending;
    bool ok = download(command, FTPLIB_ASCII, [&](std::string_view data) {
        decoder.decode(data, pending);
        size_t end = pending.rfind('\n');
        if (end != std::string::npos) {
            platform::consoleWrite(std::string_view(pending).substr(0, end + 1));
            pending.erase(0, end + 1);
        }
        return true;
    });
    decoder.finish(pending);
    if (!pending.empty()) platform::consoleWrite(pending + "\n");
    return ok;
}

bool FtpLib::put(const std::string& localPath, const std::string& remotePath, char mode) {
    Operation op(*this);
    if (!validType(mode)) return fail(invalidType(mode));
    if (!control_) return fail(notConnected);
    platform::FileReader file;
    std::string error;
    if (!file.open(localPath, &error)) return fail("cannot open " + error);
    AsciiEncoder encoder;
    std::vector<char> buffer(dataChunk);
    return upload("STOR " + remotePath, mode, [&](std::string& chunk) {
        long n = file.read(buffer.data(), buffer.size(), &error);
        if (n < 0) return fail("cannot read " + error);
        std::string_view data(buffer.data(), static_cast<size_t>(n));
        if (mode == FTPLIB_ASCII)
            encoder.encode(data, chunk);
        else
            chunk.assign(data);
        return true;
    });
}

bool FtpLib::get(const std::string& localPath, const std::string& remotePath, char mode) {
    Operation op(*this);
    return downloadToFile(localPath, "RETR " + remotePath, mode);
}

bool FtpLib::size(const std::string& remotePath, uint64_t& size, char mode) {
    Operation op(*this);
    if (!validType(mode)) return fail(invalidType(mode));
    if (!command(std::string("TYPE ") + mode, '2') || !command("SIZE " + remotePath, '2')) return false;
    std::optional<uint64_t> value = parseSizeReply(reply());
    if (!value) return fail("Unexpected reply to SIZE: " + reply());
    size = *value;
    return true;
}

bool FtpLib::modDate(const std::string& remotePath, std::string& date) {
    Operation op(*this);
    date.clear();
    if (!command("MDTM " + remotePath, '2')) return false;
    date = replyText(reply());
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
    type = replyWord(reply());
    return true;
}

bool FtpLib::isWindows() { return systemType_.find("Windows") != std::string::npos; }

bool FtpLib::chdir(const std::string& remotePath) {
    Operation op(*this);
    return command("CWD " + remotePath, '2');
}

bool FtpLib::cdup() {
    Operation op(*this);
    return command("CDUP", '2');
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
    std::optional<std::string> path = parseQuotedPath(reply());
    if (!path) return false;  // lastResponse shows the reply without a quoted folder
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
    return localPath.empty() ? downloadToConsole(command) : downloadToFile(localPath, command, FTPLIB_ASCII);
}

bool FtpLib::nlst(const std::string& localPath, const std::string& remotePath) {
    return listingText("NLST", localPath, remotePath);
}

bool FtpLib::listToFile(const std::string& localPath, const std::string& remotePath) {
    return listingText("LIST", localPath, remotePath);
}

bool FtpLib::list(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    Operation op(*this);
    entries.clear();
    AsciiDecoder decoder;
    LineCutter cutter;
    std::string text;
    auto add = [&](std::string_view line) {
        FtpFileInfo info = parseLine(line, systemType_);
        if (!info.name.empty()) entries.push_back(std::move(info));
    };
    bool ok = download(withPath("LIST", remotePath), FTPLIB_ASCII, [&](std::string_view data) {
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

bool FtpLib::rename(const std::string& from, const std::string& to) {
    Operation op(*this);
    return command("RNFR " + from, '3') && command("RNTO " + to, '2');
}

std::string FtpLib::lastResponse() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return note_.empty() ? reply() : note_;
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
    if (!control_) return;
    command("QUIT", '2');
    close();
}

void FtpLib::close() {
    Operation op(*this);
    if (!control_) return;
    platform::shutdownSocket(controlFd_);
    {
        // FtpQuit is ftplib's only call that frees a connection together with
        // its buffer (FtpClose leaves the buffer behind). On the shut-down
        // socket its QUIT is never sent; its trace, which would show one, is
        // silenced meanwhile.
        std::lock_guard<std::mutex> hold(debugLock());
        int level = ftplib_debug;
        ftplib_debug = 0;
        FtpQuit(control_);
        ftplib_debug = level;
    }
    control_ = nullptr;
    controlFd_ = -1;
    systemType_.clear();
}

void FtpLib::abort() {
    aborted_ = true;
    abortSignal_.raise();
}

}  // namespace dorvan
