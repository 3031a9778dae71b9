#include "ftp/session_trace.h"

#include <atomic>
#include <string>

#include "ftp/masked_command.h"
#include "platform/console.h"

namespace dorvan {
namespace {

std::atomic<int>& traceLevel() {
    static std::atomic<int> level{0};
    return level;
}

}  // namespace

void setSessionTraceLevel(int level) { traceLevel() = level; }

void traceCommand(std::string_view command) {
    if (traceLevel() > 2) platform::consoleWriteError(maskedCommand(command) + "\n");
}

void traceReply(std::string_view line) {
    if (traceLevel() > 1) platform::consoleWriteError(line);
}

void traceNote(std::string_view line) { traceReply(line); }

void traceTls(std::string_view connection, const platform::TlsConnection& tls) {
    if (traceLevel() > 1) platform::consoleWriteError("TLS " + std::string(connection) + ": " + tls.summary() + "\n");
}

}  // namespace dorvan
