#include "shell/sending.h"

#include <atomic>
#include <exception>

#include "platform/console.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "settings/usage.h"
#include "shell/apply_arguments.h"
#include "shell/argument_check.h"
#include "shell/argument_parser.h"
#include "shell/dispatch.h"
#include "shell/prompt_reader.h"
#include "shell/verb_table.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

bool stopsFileOnFailure(const ArgumentList& args) {
    std::string verb = text::asciiLower(args.empty() ? std::string() : args[0]);
    return verb == "connect" || verb == "open" || verb == "login";
}

std::string overlongLineMessage(const std::string& source, size_t number) {
    return format("{} line {} is longer than {} bytes, not run", source, number, commandLineCap);
}

std::atomic<bool> interrupted{false};

// What the process command line decided for the exit status (see commandLineStatus).
constexpr int usageErrorStatus = 64;
constexpr int failedStatus = 1;
std::atomic<int> commandLineOutcome{-1};

std::string joined(const ArgumentList& tokens) {
    std::string line;
    for (const std::string& token : tokens) line += (line.empty() ? "" : " ") + token;
    return line;
}

// Runs one step of the shell while holding the command lock, then writes
// out what its output held back.
template <typename Step>
auto locked(Step step) {
    std::lock_guard<std::recursive_timed_mutex> guard(commandLock());
    auto result = step();
    flushOutput();
    return result;
}

}  // namespace

std::recursive_timed_mutex& commandLock() {
    static auto* lock = new std::recursive_timed_mutex;  // never destroyed: the control thread outlives main
    return *lock;
}

void interruptCommands() { interrupted = true; }

std::optional<int> commandLineStatus() {
    int outcome = commandLineOutcome.load();
    if (outcome < 0) return std::nullopt;
    return outcome;
}

CommandList Sending::readCommandFile(const std::string& token, const ArgumentList& args) {
    return locked([&] {
        CommandList list = parstAt(token);
        applyArguments(args);
        return list;
    });
}

void Sending::run() {
    // The usage screen begins with the banner.
    if (args_.size() == 2 && (args_[1] == "--help" || args_[1] == "-h")) {
        printUsage();
        return;
    }
    platform::consoleWriteLine(config().banner());
    if (args_.size() == 1) {
        keepWindow();
        return;
    }
    const ArgumentList line(args_.begin() + 1, args_.end());
    if (isCommandFileToken(args_[1])) {
        runCommandFileFirst();
    } else if (const Verb* verb = findVerb(text::asciiLower(args_[1]))) {
        runOneCommand(line, *verb);
    } else if (locked([&] { return isHelpRequest(line); })) {
        // answered
    } else if (args_[1].size() > 2 && args_[1].starts_with("--")) {
        runArgumentsFirst();
    } else {
        commandLineOutcome = usageErrorStatus;
        printMessage(Level::Error,
                     format("'{}' is not a command, an argument or a command file; see dorvan --help", args_[1]));
    }
}

// A line that names a command file: refused whole (false) when it names an
// argument no row reads; else its pairs are stored and the file runs.
bool Sending::runCommandFile(const std::string& token, const ArgumentList& args) {
    if (!locked([&] { return checkArgumentLine(args, nullptr); })) return false;
    CommandList list = readCommandFile(token, args);
    execute(list);
    return true;
}

// "@job.txt --name value ...": the pairs are stored, then the file runs.
void Sending::runCommandFileFirst() {
    if (!runCommandFile(args_[1], args_)) {
        commandLineOutcome = usageErrorStatus;
        return;
    }
    if (!settings().quitRequested && !interrupted) keepWindow();
}

// "--name value ... [@job.txt]": the pairs are stored, the file runs, then
// the prompt reads standard input.
void Sending::runArgumentsFirst() {
    ArgumentList pairs = args_;
    const size_t fileAt = commandFileAfterPairs(pairs);
    std::string fileToken;
    if (fileAt > 0) {
        fileToken = pairs[fileAt];
        pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(fileAt));
    }
    if (!locked([&] { return checkArgumentLine(pairs, nullptr); })) {
        commandLineOutcome = usageErrorStatus;
        return;
    }
    if (fileToken.empty()) {
        locked([&] { return applyArguments(pairs); });
    } else {
        CommandList list = readCommandFile(fileToken, pairs);
        execute(list);
    }
    if (!settings().quitRequested && !interrupted) keepWindow();
}

// "get --host h ...": one command, connecting and logging in as it needs;
// its outcome is the exit status.
void Sending::runOneCommand(ArgumentList line, const Verb& verb) {
    commandLineOutcome = failedStatus;
    bool ok = false;
    try {
        ok = locked([&] {
            if (isHelpRequest(line)) return true;
            if (!checkArgumentLine(line, &verb)) {
                commandLineOutcome = usageErrorStatus;
                return false;
            }
            return executeLine(line, true);
        });
    } catch (const std::exception& e) {
        printMessage(Level::Error, format("execute {} catch {}", maskSecrets(joined(line)), e.what()));
    }
    if (ok) commandLineOutcome = 0;
}

void Sending::keepWindow() {
    try {
        PromptReader reader;
        bool more = true;
        size_t lineNumber = 0;
        do {
            std::string line;
            platform::LineRead read = reader.read(line, commandLineCap);
            more = read != platform::LineRead::ended;
            if (interrupted) break;
            if (more) ++lineNumber;
            if (read == platform::LineRead::overlong) {
                printMessage(Level::Error, overlongLineMessage("input", lineNumber));
                continue;
            }
            ArgumentList args = splitCommandLine(line);
            if (!line.empty() && line[0] == '#') {
                // a comment
            } else if (!args.empty() && isCommandFileToken(args[0])) {
                if (!isHelpRequest(args)) runCommandFile(args[0], args);
            } else {
                locked([&] { return executeLine(args, true); });
            }
        } while (more && !settings().quitRequested && !interrupted);
    } catch (const std::exception& e) {
        printMessage(Level::Error, format("keepWindow catch {}", e.what()));
    }
}

CommandList Sending::parstAt(const std::string& token) {
    try {
        std::string path = token.substr(1);
        if (!platform::isAbsolutePath(path)) path = platform::commandFilePath(path);
        if (!platform::pathExists(path)) {
            printMessage(Level::Error, format("Specified path does not exists: '{}'", path));
            return {};
        }
        std::string bytes, text, error;
        size_t replaced = 0;
        if (!platform::readWholeFile(path, bytes, &error) || !decodeCommandFileText(bytes, &text, &replaced, &error)) {
            logRecord(Level::Error, format("parstAt catch {}", error));
            return {};
        }
        bytes = std::string();
        if (replaced > 0)
            printMessage(Level::Error, format("{}: {} undecodable code unit(s) replaced by U+FFFD", token, replaced));
        if (trimWhiteSpace(text).empty()) {
            printMessage(Level::Error, format("empty file {}", token));
            return {};
        }
        std::vector<size_t> overlong;
        CommandList list = splitCommandFile(text, &overlong);
        for (size_t number : overlong) printMessage(Level::Error, overlongLineMessage(token, number));
        return list;
    } catch (const std::exception& e) {
        logRecord(Level::Error, format("parstAt catch {}", e.what()));
        return {};
    }
}

void Sending::execute(CommandList& list) {
    for (CommandEntry& entry : list) {
        if (interrupted) return;
        bool ok = false;
        try {
            ok = locked([&] { return executeLine(entry.args, false); });
        } catch (const std::exception& e) {
            printMessage(Level::Error, format("execute {} catch {}", maskSecrets(entry.line), e.what()));
        }
        if (!ok && stopsFileOnFailure(entry.args)) return;
    }
}

}  // namespace dorvan
