#include "shell/prompt_reader.h"

#include "platform/console.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "shell/argument_parser.h"
#include "shell/argument_table.h"
#include "shell/verb_table.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

constexpr std::string_view prompt = " Dorvan>";
constexpr size_t historyCap = 1000;

}  // namespace

CompletionTables completionTables() {
    CompletionTables tables;
    for (std::string_view verb : verbNames()) tables.verbs.emplace_back(verb);
    for (const ArgumentRow& row : argumentRows()) {
        for (std::string_view name : {row.name, row.aliases[0], row.aliases[1]}) {
            if (name.empty()) continue;
            tables.arguments.emplace_back(name);
            if (row.syntax == ValueSyntax::boolean || row.syntax == ValueSyntax::imageFlag)
                tables.booleanArguments.emplace_back(name);
            if (row.syntax == ValueSyntax::localFolder || row.syntax == ValueSyntax::localFile)
                tables.localPaths.push_back(
                    {.argument = std::string(name), .verb = "", .foldersOnly = row.syntax == ValueSyntax::localFolder});
        }
    }
    // put and its alias take the name of a file in the local folder.
    for (const char* verb : {"put", "send"})
        tables.localPaths.push_back(
            {.argument = "src", .verb = verb, .foldersOnly = false, .baseFolder = [] { return settings().local; }});
    return tables;
}

bool keepInHistoryFile(const std::string& line) { return maskSecrets(line) == line; }

PromptReader::PromptReader()
    : editor_(platform::LineEditor::open({
          .prompt = std::string(prompt),
          .historyPath = dataFolder() + "dorvan-history",
          .historyCap = historyCap,
          .complete = [tables = completionTables()](std::string_view line) { return complete(line, tables); },
          .keepInHistoryFile = keepInHistoryFile,
      })) {}

platform::LineRead PromptReader::read(std::string& line, size_t cap) {
    if (!editor_) {
        platform::consoleWrite(prompt);
        return platform::readConsoleLine(line, cap);
    }
    if (!editor_->readLine(line)) return platform::LineRead::ended;
    if (line.size() <= cap) return platform::LineRead::line;
    line.clear();
    return platform::LineRead::overlong;
}

}  // namespace dorvan
