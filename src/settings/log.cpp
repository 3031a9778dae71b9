#include "settings/log.h"

#include <cstdio>
#include <mutex>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/paths.h"

namespace dorvan {
namespace {

std::mutex logLock;
std::FILE* logFile = nullptr;

const char* levelName(Level level) {
    switch (level) {
        case Level::Trace: return "Trace";
        case Level::Info: return "Info";
        case Level::Warn: return "Warn";
        case Level::Error: return "Error";
        case Level::Fatal: return "Fatal";
    }
    return "Error";
}

}  // namespace

std::string dataFolder() { return platform::dataFolder(); }

std::string logPath() { return dataFolder() + platform::programBaseName() + "-log.txt"; }

void openLogging() {
    std::lock_guard<std::mutex> guard(logLock);
    if (logFile) return;
    if (!platform::createFolders(dataFolder())) return;  // run without a log file
    std::string path = logPath();
    if (auto size = platform::fileSize(path); size && *size > logSizeCap) platform::removeFile(path);
    logFile = std::fopen(path.c_str(), "ab");
}

void closeLogging() {
    std::lock_guard<std::mutex> guard(logLock);
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}

void logRecord(Level level, std::string_view text) {
    if (level < Level::Info) return;
    std::string name = levelName(level);
    name.resize(6, ' ');
    std::string record = platform::localTimestamp() + " " + name + " Dorvan - ";
    record.append(text);
    record += "\r\n";
    std::lock_guard<std::mutex> guard(logLock);
    if (!logFile) return;
    std::fwrite(record.data(), 1, record.size(), logFile);
    std::fflush(logFile);
}

bool printMessage(Level level, std::string_view text) {
    std::string line(text);
    line += "\r\n";
    platform::consoleWrite(line);
    bool info = level == Level::Info;
    logRecord(info ? Level::Info : Level::Error, text);
    return info;
}

void printWarning(std::string_view text) {
    platform::consoleWrite(std::string(text) + "\r\n");
    logRecord(Level::Warn, text);
}

}  // namespace dorvan
