#include "shell/completion.h"

#include <algorithm>

#include "platform/folder_listing.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

struct Word {
    size_t start;
    std::string text;  // quotes removed
    bool quoted;
};

// Cuts the line into words the way the command tokenizer does: blanks
// separate, double quotes group. The last word may be empty.
std::vector<Word> words(std::string_view line) {
    std::vector<Word> result;
    Word current{0, {}, false};
    bool inWord = false, inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (inWord) result.push_back(current);
            inWord = false;
            continue;
        }
        if (!inWord) {
            current = Word{i, {}, c == '"'};
            inWord = true;
        }
        if (c == '"')
            inQuotes = !inQuotes;
        else
            current.text += c;
    }
    if (!inWord) current = Word{line.size(), {}, false};
    result.push_back(current);
    return result;
}

void addMatches(std::vector<std::string>& out, const std::vector<std::string>& names, std::string_view prefix,
                std::string_view decoration = {}) {
    for (const std::string& name : names)
        if (name.starts_with(prefix)) out.push_back(std::string(decoration) + name);
}

void addLocalPaths(std::vector<std::string>& out, const std::string& typed, const LocalPathArgument& rule) {
    size_t slash = typed.rfind('/');
    std::string typedFolder = slash == std::string::npos ? std::string() : typed.substr(0, slash + 1);
    std::string namePrefix = typed.substr(typedFolder.size());
    std::string folder = typedFolder;
    if (folder.empty() || folder[0] != '/') {
        std::string base = rule.baseFolder ? rule.baseFolder() : std::string();
        if (!base.empty() && base.back() != '/') base += '/';
        folder = base + folder;
    }
    std::vector<platform::FolderEntry> entries;
    std::string error;
    if (!platform::listFolder(folder.empty() ? "." : folder, entries, &error)) return;
    for (const platform::FolderEntry& entry : entries) {
        const std::string& name = entry.name;
        if (!name.starts_with(namePrefix)) continue;
        if (name[0] == '.' && !namePrefix.starts_with('.')) continue;
        if (rule.foldersOnly && !entry.isFolder) continue;
        out.push_back(typedFolder + name + (entry.isFolder ? "/" : ""));
    }
}

const LocalPathArgument* localPathRule(const CompletionTables& tables, std::string_view argument,
                                       std::string_view verb) {
    for (const LocalPathArgument& rule : tables.localPaths)
        if (rule.argument == argument && (rule.verb.empty() || rule.verb == verb)) return &rule;
    return nullptr;
}

// The longest text every candidate starts with.
std::string commonPrefix(const std::vector<std::string>& candidates) {
    std::string prefix = candidates.front();
    for (const std::string& candidate : candidates) {
        size_t n = 0;
        while (n < prefix.size() && n < candidate.size() && prefix[n] == candidate[n]) ++n;
        prefix.resize(n);
    }
    return prefix;
}

// The candidates for the last word, sorted, each once.
std::vector<std::string> candidatesFor(const std::vector<Word>& all, const CompletionTables& tables) {
    const Word& last = all.back();
    std::vector<std::string> out;
    if (all.size() == 1) {
        addMatches(out, tables.verbs, text::asciiLower(last.text));
    } else if (last.text.starts_with("--") && !last.quoted) {
        addMatches(out, tables.arguments, std::string_view(last.text).substr(2), "--");
    } else {
        const std::string& previous = all[all.size() - 2].text;
        std::string_view argument = previous.starts_with("--") ? std::string_view(previous).substr(2) : "";
        std::string verb = text::asciiLower(all.front().text);
        if (argument.empty()) return out;
        if (std::find(tables.booleanArguments.begin(), tables.booleanArguments.end(), argument) !=
            tables.booleanArguments.end()) {
            addMatches(out, {"true", "false"}, last.text);
        } else if (const LocalPathArgument* rule = localPathRule(tables, argument, verb)) {
            addLocalPaths(out, last.text, *rule);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

platform::TabAction complete(std::string_view beforeCursor, const CompletionTables& tables) {
    using Kind = platform::TabAction::Kind;
    std::vector<Word> all = words(beforeCursor);
    const Word& last = all.back();
    std::vector<std::string> candidates = candidatesFor(all, tables);
    if (candidates.empty()) return {};

    std::string common = commonPrefix(candidates);
    bool single = candidates.size() == 1;
    if (!single && common.size() <= last.text.size()) return {.kind = Kind::list, .choices = std::move(candidates)};
    bool quote = last.quoted || common.find(' ') != std::string::npos;
    bool finished = single && !common.ends_with('/');
    std::string text = (quote ? "\"" : "") + common;
    if (finished) text += quote ? "\" " : " ";
    return {.kind = Kind::replace, .replaceFrom = last.start, .insert = std::move(text)};
}

}  // namespace dorvan
