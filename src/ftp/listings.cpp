#include "ftp/listings.h"

#include <utility>

#include "ftp/ftp_text.h"
#include "platform/console.h"

namespace dorvan {
namespace {

// A listing line longer than this is no entry (no name is that long); it is never parsed.
constexpr size_t maxListingLine = 64 * 1024;

std::string withPath(const char* verb, const std::string& path) {
    return path.empty() ? std::string(verb) : std::string(verb) + " " + path;
}

}  // namespace

CallOutcome Listings::text(const char* verb, const std::string& localPath, const std::string& remotePath) {
    std::string command = withPath(verb, remotePath);
    return localPath.empty() ? toConsole(command) : transfers_.getText(localPath, command);
}

CallOutcome Listings::toConsole(const std::string& command) {
    AsciiDecoder decoder;
    std::string pending;
    CallOutcome outcome = transfers_.receive(command, asciiType, [&](std::string_view data) {
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
    return outcome;
}

FtpFileInfo Listings::listLine(std::string_view line) {
    FtpFileInfo info = parseLine(line, control_.systemType());
    backslashSeparators_ = backslashSeparators_ || (info.backslashSeparates && !info.name.empty());
    return info;
}

CallOutcome Listings::plainEntries(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    return read("LIST", remotePath, entries, [this](std::string_view line) { return listLine(line); });
}

CallOutcome Listings::entries(const std::string& remotePath, std::vector<FtpFileInfo>& entries) {
    if (!control_.features().listsFacts || mlsdRefused_) return plainEntries(remotePath, entries);
    CallOutcome machine = read("MLSD", remotePath, entries, parseMachineLine);
    if (machine.kind == OutcomeKind::ok) return machine;
    // Lost, timed out or failed here: no other listing would fare better.
    if (control_.isLost() || !control_.isConnected() || !control_.note().empty()) return machine;
    // The server refused MLSD: where LIST answers, MLSD is what failed, not the folder.
    CallOutcome plain = plainEntries(remotePath, entries);
    mlsdRefused_ = plain.kind == OutcomeKind::ok;
    return plain;
}

CallOutcome Listings::read(const char* verb, const std::string& remotePath, std::vector<FtpFileInfo>& entries,
                           const std::function<FtpFileInfo(std::string_view line)>& parse) {
    entries.clear();
    AsciiDecoder decoder;
    LineCutter cutter(maxListingLine);
    std::string text;
    uint64_t bytes = 0;
    bool tooMany = false;
    auto add = [&](std::string_view line) {
        if (tooMany) return;
        FtpFileInfo info = parse(line);
        if (info.name.empty()) return;
        tooMany = entries.size() == maxListingEntries;
        if (!tooMany) entries.push_back(std::move(info));
    };
    const std::string tooManyNote = "listing of more than " + std::to_string(maxListingEntries) + " entries, stopped";
    CallOutcome outcome = transfers_.receive(withPath(verb, remotePath), asciiType, [&](std::string_view data) {
        bytes += data.size();
        if (bytes > maxListingBytes)
            return control_.fail("listing longer than " + std::to_string(maxListingBytes >> 20) + " MiB, stopped",
                                 OutcomeKind::localError);
        text.clear();
        decoder.decode(data, text);
        cutter.feed(text, add);
        return !tooMany || control_.fail(tooManyNote, OutcomeKind::localError);
    });
    text.clear();
    decoder.finish(text);
    cutter.feed(text, add);
    cutter.finish(add);
    if (tooMany && outcome.kind == OutcomeKind::ok) {  // the entry past the bound came last, without a line end
        control_.fail(tooManyNote, OutcomeKind::localError);
        outcome = {.kind = OutcomeKind::localError, .code = outcome.code, .text = tooManyNote};
    }
    if (outcome.kind != OutcomeKind::ok) entries.clear();
    return outcome;
}

}  // namespace dorvan
