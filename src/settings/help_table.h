#pragma once
// Help texts: how one is declared, and the ordered name -> text table that
// holds them once formatted. The usage screen and the Markdown export walk
// the tables in insertion order.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/format.h"

namespace dorvan {

// One help text as declared. The text reads: the summary line, "syntax:",
// every syntax line indented by 4 spaces, then the example blocks (labels
// ending with ':', example lines indented by 4 spaces, blocks separated by a
// line of 4 spaces). Lines are separated by "\n".
struct HelpSource {
    std::string_view key;
    std::string_view summary;
    std::string_view syntax;         // one or more lines, without their indent
    std::string_view examples = {};  // empty when there are none
    std::vector<std::string_view> fills = {};
};

// The unformatted template of one help text.
inline std::string helpTemplate(const HelpSource& source) {
    std::string text(source.summary);
    text += "\nsyntax:";
    for (size_t start = 0; start <= source.syntax.size();) {
        size_t end = source.syntax.find('\n', start);
        if (end == std::string_view::npos) end = source.syntax.size();
        text += "\n    ";
        text += source.syntax.substr(start, end - start);
        start = end + 1;
    }
    if (!source.examples.empty()) {
        text += '\n';
        text += source.examples;
    }
    return text;
}

class HelpTable {
public:
    struct Entry {
        std::string name;
        std::string text;
    };

    void add(std::string name, std::string text) { entries_.push_back({std::move(name), std::move(text)}); }

    // Exact, case-sensitive match; null when absent.
    const std::string* find(std::string_view name) const {
        for (const Entry& entry : entries_)
            if (entry.name == name) return &entry.text;
        return nullptr;
    }

    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    size_t size() const { return entries_.size(); }

private:
    std::vector<Entry> entries_;
};

// Whether "{0}" of a template is the entry's own name.
enum class NameFill { always, unlessFilled };

// Formats every template once: "{0}" the entry's name (see NameFill), then its fills.
inline HelpTable formatHelpTable(const std::vector<HelpSource>& sources, NameFill nameFill) {
    HelpTable table;
    for (const HelpSource& source : sources) {
        std::vector<FormatArg> args;
        if (nameFill == NameFill::always || source.fills.empty()) args.emplace_back(source.key);
        for (std::string_view fill : source.fills) args.emplace_back(fill);
        table.add(std::string(source.key), formatTemplate(helpTemplate(source), args));
    }
    return table;
}

}  // namespace dorvan
