#include "shell/prompt_reader.h"

#include "platform/console.h"
#include "settings/argument_help.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "shell/argument_parser.h"
#include "shell/tokenizer.h"
#include "shell/verb_table.h"

namespace dorvan {
namespace {

constexpr std::string_view prompt = " Dorvan>";
constexpr size_t historyCap = 1000;

// An argument takes true or false when its help's syntax line offers them.
bool takesBoolean(const std::string& helpText) {
    size_t syntax = helpText.find("\nsyntax:\n");
    if (syntax == std::string::npos) return false;
    std::string_view line = std::string_view(helpText).substr(syntax + 9);
    line = line.substr(0, line.find('\n'));
    return line.find("true") != std::string_view::npos && line.find("false") != std::string_view::npos;
}

}  // namespace

platform::CompletionTables completionTables() {
    platform::CompletionTables tables;
    for (std::string_view verb : verbNames()) tables.verbs.emplace_back(verb);
    std::vector<std::pair<std::string, std::string>> aliases = argumentAliases();
    for (const HelpTable::Entry& entry : argumentHelpTable()) {
        tables.arguments.push_back(entry.name);
        if (takesBoolean(entry.text)) tables.booleanArguments.push_back(entry.name);
    }
    for (const auto& [typed, name] : aliases) {
        tables.arguments.push_back(typed);
        for (const std::string& boolean : std::vector(tables.booleanArguments))
            if (boolean == name) tables.booleanArguments.push_back(typed);
    }
    // put and send take the name of a file in the local folder.
    auto localFolder = [] { return settings().local; };
    tables.localPaths = {
        {.argument = "local", .verb = "", .foldersOnly = true},
        {.argument = "src", .verb = "put", .foldersOnly = false, .baseFolder = localFolder},
        {.argument = "src", .verb = "send", .foldersOnly = false, .baseFolder = localFolder},
    };
    for (const auto& [typed, name] : aliases)
        if (name == "local") tables.localPaths.push_back({.argument = typed, .verb = "", .foldersOnly = true});
    return tables;
}

bool keepInHistoryFile(const std::string& line) {
    ParsedArguments parsed = parseArguments(splitCommandLine(line));
    if (parsed.contains("password")) return false;
    // A raw PASS command carries the password too.
    auto name = parsed.find("name");
    if (name != parsed.end())
        for (const std::string& value : name->second.values)
            if (asciiLower(value.substr(0, 5)) == "pass " || asciiLower(value) == "pass") return false;
    return true;
}

PromptReader::PromptReader()
    : editor_(platform::LineEditor::open({
          .prompt = std::string(prompt),
          .historyPath = dataFolder() + "dorvan-history",
          .historyCap = historyCap,
          .completion = completionTables(),
          .keepInHistoryFile = keepInHistoryFile,
      })) {}

bool PromptReader::read(std::string& line) {
    if (editor_) return editor_->readLine(line);
    platform::consoleWrite(prompt);
    return platform::readConsoleLine(line);
}

}  // namespace dorvan
