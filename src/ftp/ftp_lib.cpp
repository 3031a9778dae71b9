// The session's public operations: each takes the session lock, runs its
// parts (control session, data transfers, listings) and keeps the outcome of
// its call for lastOutcome.
#include "ftp/ftp_lib.h"

#include <optional>
#include <utility>

#include "ftp/ftp_text.h"
#include "ftp/ftp_time.h"
#include "ftp/session_trace.h"
#include "platform/clock.h"

namespace dorvan {

// Holds the session lock for one operation. The outermost one begins a fresh
// account of the call and, at its end, keeps the call's outcome: the one its
// part returned (settle), else what the control session's replies say.
class FtpLib::Operation {
public:
    explicit Operation(FtpLib& session) : session_(session), hold_(session.lock_) {
        if (session_.depth_++ == 0) session_.control_.beginCall();
    }
    ~Operation() {
        if (--session_.depth_ > 0) return;
        session_.last_ = settled_ ? std::move(*settled_) : session_.control_.outcome();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    // The call's outcome as its data transfer or listing returned it: true
    // when ok. Kept only by the outermost operation.
    bool settle(CallOutcome outcome) {
        settled_ = std::move(outcome);
        return settled_->kind == OutcomeKind::ok;
    }

private:
    FtpLib& session_;
    std::lock_guard<std::recursive_mutex> hold_;
    std::optional<CallOutcome> settled_;
};

FtpLib::FtpLib() = default;

FtpLib::~FtpLib() = default;

void FtpLib::setTimeout(int seconds) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    control_.setTimeout(seconds);
}

void FtpLib::setDebugLevel(int level) { setSessionTraceLevel(level); }

void FtpLib::setTls(TlsMode mode, const platform::TlsTrust& trust) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    control_.setTls(mode, trust);
}

std::string FtpLib::certificateProblem() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return control_.certificateProblem();
}

void FtpLib::setProgress(TransferProgress* progress) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    transfers_.setProgress(progress);
}

void FtpLib::setTransferRules(ChecksumMode mode, std::shared_ptr<RateLimit> limit) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    transfers_.setRules(mode, std::move(limit));
}

TransferChecksum FtpLib::lastChecksum() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return transfers_.lastChecksum();
}

bool FtpLib::connect(const std::string& host, int port) {
    Operation op(*this);
    close();
    return control_.connect(host, port);
}

bool FtpLib::login(const std::string& user, const std::string& password) {
    Operation op(*this);
    if (!control_.logIn(user, password)) return false;
    if (control_.usesTls()) dataConnections_.protect();  // a refusal fails the transfers, with its reply
    control_.learnServer();
    return true;
}

bool FtpLib::setActive() {
    Operation op(*this);
    if (!control_.requireConnection()) return false;
    dataConnections_.setPassive(false);
    return true;
}

bool FtpLib::setPassive() {
    Operation op(*this);
    if (!control_.requireConnection()) return false;
    dataConnections_.setPassive(true);
    return true;
}

bool FtpLib::put(const std::string& localPath, const std::string& remotePath, char mode, uint64_t restartAt) {
    Operation op(*this);
    return op.settle(transfers_.put(localPath, remotePath, mode, restartAt));
}

bool FtpLib::get(const std::string& localPath, const std::string& remotePath, char mode, uint64_t expectedSize,
                 KeptPart* part) {
    Operation op(*this);
    return op.settle(transfers_.get(localPath, remotePath, mode, expectedSize, part));
}

bool FtpLib::offersRestart() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return control_.features().restartsStreams && dataConnections_.restartAccepted();
}

bool FtpLib::size(const std::string& remotePath, uint64_t& size, char mode) {
    Operation op(*this);
    if (!control_.requireType(mode)) return false;
    if (!control_.setType(mode) || !control_.command("SIZE " + remotePath, '2')) return false;
    std::optional<uint64_t> value = parseSizeReply(control_.reply());
    if (!value) return control_.fail("Unexpected reply to SIZE: " + control_.reply());
    size = *value;
    return true;
}

bool FtpLib::modDate(const std::string& remotePath, std::string& date) {
    Operation op(*this);
    date.clear();
    if (!control_.command("MDTM " + remotePath, '2')) return false;
    date = replyText(control_.reply());
    return true;
}

bool FtpLib::mkdir(const std::string& remotePath) {
    Operation op(*this);
    return control_.command("MKD " + remotePath, '2');
}

bool FtpLib::sysType(std::string& type) {
    {
        // Answered from the cache: nothing is exchanged, the last outcome stays.
        std::lock_guard<std::recursive_mutex> hold(lock_);
        if (!control_.systemType().empty()) {
            type = control_.systemType();
            return true;
        }
    }
    Operation op(*this);
    type.clear();
    if (!control_.command("SYST", '2')) return false;
    type = replyWord(control_.reply());
    return true;
}

bool FtpLib::isWindows() { return control_.systemType().find("Windows") != std::string::npos; }

bool FtpLib::chdir(const std::string& remotePath) { return walk("CWD " + remotePath); }

bool FtpLib::cdup() { return walk("CDUP"); }

bool FtpLib::walk(const std::string& step) {
    Operation op(*this);
    if (!step.starts_with("CWD /")) learnFolder();
    if (!control_.command(step, '2')) return false;
    control_.walked(step);
    return true;
}

FolderTrail FtpLib::folderTrail() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return {.folder = control_.knownFolder(), .steps = control_.folderTrail()};
}

void FtpLib::learnFolder() {
    std::lock_guard<std::recursive_mutex> hold(lock_);  // the last outcome stays when nothing is asked
    if (control_.knownFolder().empty() && control_.folderTrail().empty() && control_.isConnected() &&
        !control_.isLost())
        pwd();
}

bool FtpLib::retrace(const FolderTrail& trail, std::string* error) {
    Operation op(*this);
    std::string shown = trail.folder;
    for (const std::string& step : trail.steps) {
        const std::string name = step == "CDUP" ? ".." : step.substr(4);
        shown = name.starts_with('/') || shown.empty() ? name : shown + (shown.ends_with('/') ? "" : "/") + name;
    }
    auto fail = [&](const std::string& why) {
        *error = "folder '" + shown + "' not found again, " + why;
        return false;
    };
    if (trail.folder.empty() && (trail.steps.empty() || !trail.steps.front().starts_with("CWD /")))
        return fail("no PWD named the folder it was reached from");
    if (!trail.folder.empty()) {
        if (!walk("CWD " + trail.folder)) return fail(control_.outcome().text);
        std::string now;
        if (!pwd(now)) return fail("PWD named no folder: " + control_.outcome().text);
        if (now != trail.folder) return fail("PWD named '" + now + "'");
    }
    for (const std::string& step : trail.steps)
        if (!walk(step)) return fail(control_.outcome().text);
    return true;
}

bool FtpLib::deleteFile(const std::string& remotePath) {
    Operation op(*this);
    return control_.command("DELE " + remotePath, '2');
}

bool FtpLib::rmdir(const std::string& remotePath) {
    Operation op(*this);
    return control_.command("RMD " + remotePath, '2');
}

bool FtpLib::pwd(std::string& folder) {
    Operation op(*this);
    folder.clear();
    if (!control_.command("PWD", '2')) return false;
    std::optional<std::string> path = parseWorkingFolder(control_.reply());
    if (!path) return false;  // lastResponse shows the reply that names no folder
    folder = *path;
    control_.foundFolder(folder);
    return true;
}

std::string FtpLib::pwd() {
    std::string folder;
    pwd(folder);
    return folder;
}

bool FtpLib::nlst(const std::string& localPath, const std::string& remotePath) {
    Operation op(*this);
    return op.settle(listings_.text("NLST", localPath, remotePath));
}

bool FtpLib::listToFile(const std::string& localPath, const std::string& remotePath) {
    Operation op(*this);
    return op.settle(listings_.text("LIST", localPath, remotePath));
}

bool FtpLib::list(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    Operation op(*this);
    return op.settle(listings_.entries(remotePath, entries));
}

bool FtpLib::listPlain(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    Operation op(*this);
    return op.settle(listings_.plainEntries(remotePath, entries));
}

bool FtpLib::separatesWithBackslash() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return isWindows() || listings_.sawBackslashSeparators();
}

bool FtpLib::modifyTime(const std::string& remotePath, int64_t& ticks) {
    Operation op(*this);
    ticks = unknownTime;
    std::vector<std::string> lines;
    if (control_.features().listsFacts && control_.commandLines("MLST " + remotePath, '2', lines)) {
        // The entry is the reply's line that begins with a blank.
        for (const std::string& line : lines) {
            if (!line.starts_with(' ')) continue;
            FtpFileInfo entry = parseMachineLine(std::string_view(line).substr(1));
            if (entry.modify == unknownTime) break;
            ticks = entry.modify;
            return true;
        }
    }
    if (control_.isLost() || !control_.isConnected()) return false;
    if (!control_.command("MDTM " + remotePath, '2')) return false;
    std::optional<int64_t> seconds = parseTimeValue(replyText(control_.reply()));
    if (!seconds) return control_.fail("Unexpected reply to MDTM: " + control_.reply());
    ticks = platform::unixEpochTicks + *seconds * platform::ticksPerSecond;
    return true;
}

bool FtpLib::setsModifyTimes() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return control_.features().setsTimes;
}

bool FtpLib::setModifyTime(const std::string& remotePath, int64_t ticks) {
    Operation op(*this);
    const int64_t sinceEpoch = ticks - platform::unixEpochTicks;
    const int64_t seconds = sinceEpoch / platform::ticksPerSecond - (sinceEpoch % platform::ticksPerSecond < 0 ? 1 : 0);
    const std::string value = timeValueText(seconds);
    if (value.empty()) return control_.fail("No modification time to set");
    return control_.command("MFMT " + value + " " + remotePath, '2');
}

bool FtpLib::rename(const std::string& from, const std::string& to) {
    Operation op(*this);
    return control_.command("RNFR " + from, '3') && control_.command("RNTO " + to, '2');
}

std::string FtpLib::lastResponse() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return last_.text;
}

bool FtpLib::sendCmd(const std::string& command, char expected) {
    Operation op(*this);
    return control_.command(command, expected);
}

bool FtpLib::sendCmd(const char* command, char expected) {
    return sendCmd(std::string(command ? command : ""), expected);
}

bool FtpLib::utf8On() { return sendCmd("OPTS UTF8 ON", '2'); }

void FtpLib::quit() {
    Operation op(*this);
    if (!control_.isConnected()) return;
    if (!control_.isLost()) control_.command("QUIT", '2');
    close();
}

// Leaves the last outcome alone: a failed connect reports through it.
void FtpLib::close() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    control_.close();
    dataConnections_.forget();
    listings_.forget();
}

bool FtpLib::isOpen() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return control_.isConnected() && !control_.isLost();
}

CallOutcome FtpLib::lastOutcome() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    return last_;
}

void FtpLib::restoreOutcome(const CallOutcome& outcome) {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    last_ = outcome;
}

bool FtpLib::pause(int milliseconds) { return control_.pause(milliseconds); }

void FtpLib::abort() { control_.abort(); }

std::unique_lock<std::recursive_mutex> FtpLib::hold() { return std::unique_lock<std::recursive_mutex>(lock_); }

}  // namespace dorvan
