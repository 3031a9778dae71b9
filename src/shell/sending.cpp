#include "shell/sending.h"

#include <atomic>
#include <exception>

#include "platform/console.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "shell/apply_arguments.h"
#include "shell/dispatch.h"
#include "shell/prompt_reader.h"

namespace dorvan {
namespace {

bool isCommandFileToken(const std::string& token) { return token.size() >= 2 && token[0] == '@'; }

bool stopsFileOnFailure(const ArgumentList& args) {
    std::string verb = asciiLower(args.empty() ? std::string() : args[0]);
    return verb == "connect" || verb == "open" || verb == "login";
}

std::atomic<bool> interrupted{false};

// Runs one step of the shell while holding the command lock.
template <typename Step>
auto locked(Step step) {
    std::lock_guard<std::recursive_mutex> guard(commandLock());
    return step();
}

}  // namespace

std::recursive_mutex& commandLock() {
    static std::recursive_mutex lock;
    return lock;
}

void interruptCommands() { interrupted = true; }

CommandList Sending::readCommandFile(const std::string& token, const ArgumentList& args) {
    return locked([&] {
        CommandList list = parstAt(token);
        applyArguments(args);
        return list;
    });
}

void Sending::run() {
    platform::consoleWrite(config().banner() + "\r\n");
    if (args_.size() == 1) {
        keepWindow();
        return;
    }
    if (args_.size() > 1 && isCommandFileToken(args_[1])) {
        CommandList list = readCommandFile(args_[1], args_);
        execute(list);
        if (!settings().quitRequested && !interrupted) keepWindow();
    }
}

void Sending::keepWindow() {
    try {
        PromptReader reader;
        bool more = true;
        do {
            std::string line;
            more = reader.read(line);
            if (interrupted) break;
            ArgumentList args = splitCommandLine(line);
            if (!line.empty() && line[0] == '#') {
                // a comment
            } else if (!args.empty() && isCommandFileToken(args[0])) {
                if (!isHelpRequest(args)) {
                    CommandList list = readCommandFile(args[0], args);
                    execute(list);
                }
            } else {
                locked([&] { return executeLine(line, args); });
            }
        } while (more && !settings().quitRequested && !interrupted);
    } catch (const std::exception& e) {
        printMessage(Level::Error, format("keepWindow catch {}", e.what()));
    }
}

CommandList Sending::parstAt(const std::string& token) {
    try {
        std::string path = token.substr(1);
        if (!platform::isAbsolutePath(path)) path = platform::programFolder() + path;
        if (!platform::pathExists(path)) {
            printMessage(Level::Error, format("Specified path does not exists: '{}'", path));
            return {};
        }
        std::string bytes, error;
        if (!platform::readWholeFile(path, bytes, &error)) {
            logRecord(Level::Error, format("parstAt catch {}", error));
            return {};
        }
        std::string text = decodeCommandFileText(bytes);
        if (trimWhiteSpace(text).empty()) {
            printMessage(Level::Error, format("empty file {}", token));
            return {};
        }
        return splitCommandFile(text);
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
            ok = locked([&] { return executeLine(entry.line, entry.args); });
        } catch (const std::exception& e) {
            printMessage(Level::Error, format("execute {} catch {}", entry.line, e.what()));
        }
        if (!ok && stopsFileOnFailure(entry.args)) return;
    }
}

}  // namespace dorvan
