#include "settings/log.h"

#include <atomic>
#include <mutex>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/output_file.h"
#include "platform/paths.h"

namespace dorvan {
namespace {

// All state of the log file. Lock order: the log lock is taken last; nothing
// else is locked while it is held.
class LogFile {
public:
    bool isOpen() {
        std::lock_guard<std::mutex> guard(lock_);
        return file_.isOpen();
    }
    void open(const std::string& path) {
        std::lock_guard<std::mutex> guard(lock_);
        std::string error;
        if (!file_.isOpen()) file_.open(path, platform::OpenMode::append, &error, platform::Access::ownerOnly);
    }
    void close() {
        std::lock_guard<std::mutex> guard(lock_);
        writeHeld();
        std::string error;
        if (file_.isOpen()) file_.close(&error);
    }
    // Records are held back and written in large pieces; `now` writes them at once.
    void write(std::string_view record, bool now) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!file_.isOpen()) return;
        held_.append(record);
        if (now || held_.size() >= heldCap) writeHeld();
    }
    void flush() {
        std::lock_guard<std::mutex> guard(lock_);
        writeHeld();
    }

private:
    static constexpr size_t heldCap = 65536;

    // Called with lock_ held.
    void writeHeld() {
        if (held_.empty()) return;
        std::string error;
        if (file_.isOpen()) file_.write(held_, &error);  // a full disk must not stop the program
        held_.clear();
    }

    std::mutex lock_;
    platform::OutputFile file_;
    std::string held_;  // records not yet written
};

LogFile& logFile() {
    // Never destroyed: the control handler's thread may still log at exit.
    static auto* log = new LogFile;
    return *log;
}

}  // namespace

std::string dataFolder() { return platform::dataFolder(); }

std::string logPath() { return dataFolder() + platform::programBaseName() + "-log.txt"; }

std::string previousLogPath() { return dataFolder() + platform::programBaseName() + "-log.1.txt"; }

void openLogging() {
    if (logFile().isOpen()) return;
    // Private to the user, as the desktop conventions want data folders.
    if (!platform::createFolders(dataFolder(), 0700)) return;  // run without a log file
    std::string path = logPath();
    // Over the cap, the log makes way for a new one and stays as the previous
    // log (which keeps its owner-only mode), replacing an older one.
    if (auto size = platform::fileSize(path); size && *size > logSizeCap) {
        if (!platform::renameFile(path, previousLogPath())) platform::removeFile(path);
    }
    logFile().open(path);
}

void closeLogging() { logFile().close(); }

namespace {
std::atomic<bool> errorLogged{false};
}  // namespace

bool anyErrorLogged() { return errorLogged.load(); }

void logRecord(Level level, std::string_view text) {
    if (level == Level::Error) errorLogged = true;
    const char* name = level == Level::Info ? " Info   " : level == Level::Warn ? " Warn   " : " Error  ";
    std::string record = platform::localTimestamp() + name + "Dorvan - ";
    record.append(text);
    record += platform::lineEnd();
    logFile().write(record, level == Level::Error);
}

void flushOutput() {
    logFile().flush();
    platform::consoleFlush();
}

bool printMessage(Level level, std::string_view text) {
    platform::consoleWriteLine(text);
    logRecord(level, text);
    if (level == Level::Error) platform::consoleFlush();
    return level == Level::Info;
}

}  // namespace dorvan
