#include "shell/dispatch.h"

#include "commands/one_shot.h"
#include "commands/session_support.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "settings/usage.h"
#include "shell/apply_arguments.h"
#include "shell/argument_check.h"
#include "shell/argument_table.h"
#include "shell/verb_table.h"
#include "text/ascii.h"

namespace dorvan {

namespace {

// The row's part of every handler: its required arguments, then its one-shot
// ones cleared around the action.
bool runRow(const Verb& verb) {
    Settings& s = settings();
    for (const RequiredArgument& required : verb.required)
        if (required.field && (s.*required.field).empty())
            return reportMissing(required.missing, verb.name, required.help);
    std::vector<std::string*> oneShots;
    for (std::string Settings::*field : verb.oneShot)
        if (field) oneShots.push_back(&(s.*field));
    ClearOnExit clear(std::move(oneShots));
    return verb.action();
}

// The key of an item's help: a verb's alias stands for the verb, and an
// argument may be written with its dashes.
std::string helpKey(std::string_view typed) {
    std::string key = text::asciiLower(typed);
    if (key.starts_with("--") && key.size() > 2) key = text::asciiLower(argumentNameFor(typed.substr(2)));
    if (const Verb* verb = findVerb(key)) key = verb->name;
    return key;
}

}  // namespace

bool isHelpRequest(const ArgumentList& args) {
    if (args.size() < 2) return false;
    const std::string first = text::asciiLower(args[0]);
    if (first == "help" || first == "?") {  // help <item>
        if (printItemHelp(helpKey(args[1]))) return true;
        return !printMessage(Level::Error,
                             format("no help for '{}'; help alone lists the commands and arguments", args[1]));
    }
    if (args[1] != "?" && args[1] != "help") return false;
    return printItemHelp(helpKey(args[0]));
}

bool executeLine(ArgumentList& args, bool typed) {
    if (args.empty()) return false;
    if (isHelpRequest(args)) return true;
    args[0] = text::asciiLower(args[0]);
    const Verb* verb = findVerb(args[0]);
    if (verb && !checkArgumentLine(args, verb)) return false;  // not run, nothing stored
    Settings& s = settings();
    const bool makesFolders = verb && verb->makesItsFolders;
    s.remoteChangeFailed = false;
    s.remoteChangeQuiet = makesFolders;
    s.commandTyped = typed;
    struct LineEnds {
        Settings& s;
        ~LineEnds() { s.remoteChangeQuiet = s.commandTyped = false; }
    } lineEnds{s};
    FolderChecks folders{.localMayBeMissing = makesFolders};
    const bool accepted = applyArguments(args, &folders);
    if (verb) {
        return handlers::run(verb->needs, [&] {  // a login enters the remote folder
            const bool remoteFailed = folders.remoteStored && s.remoteChangeFailed && !makesFolders;
            bool checkFailed = !accepted || folders.localFailed || remoteFailed;
            if (!verb->needsItsFolders || !checkFailed) return runRow(*verb);
            // Not run: the one-shot values meant for it must not reach a later command.
            for (std::string* oneShot : {&s.name, &s.src, &s.dst, &s.compress}) oneShot->clear();
            return false;
        });
    }
    if (args[0].empty()) return false;
    return printMessage(Level::Error, "unknown command: " + args[0]);
}

}  // namespace dorvan
