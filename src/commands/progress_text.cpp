#include "commands/progress_text.h"

#include <algorithm>
#include <cmath>

#include "settings/format.h"
#include "text/display_width.h"

namespace dorvan {
namespace {

constexpr std::string_view gap = "  ";
constexpr std::string_view ellipsis = "...";
constexpr size_t shortestName = 16;  // a name is never shortened below this many columns

// "1.5/8.0 MB  18%", or "512 B/8.0 MB  0%" when the units differ; only the
// size done while the total is unknown.
std::string amountText(uint64_t done, uint64_t total) {
    if (total == unknownSize) return sizeText(done);
    uint64_t shown = std::min(done, total);  // an ASCII transfer may move more than the size
    auto percent =
        static_cast<uint64_t>(total == 0 ? 100 : static_cast<double>(shown) * 100 / static_cast<double>(total));
    std::string first = sizeText(shown), second = sizeText(total);
    size_t unit = first.rfind(' ');
    if (first.compare(unit, std::string::npos, second, second.rfind(' ')) == 0) first.resize(unit);
    return format("{}/{}{}{}%", first, second, gap, percent);
}

// The last `keep` columns of `name` after an ellipsis.
std::string shortened(const std::string& name, size_t keep) {
    return std::string(ellipsis) + std::string(text::trailingColumns(name, keep));
}

}  // namespace

std::string sizeText(uint64_t bytes) {
    if (bytes < 1024) return format("{} B", bytes);
    static constexpr const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    // Rounded to one decimal, 1023.96 KB would read "1024.0 KB".
    while (value >= 1023.95 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    return format("{0:f1} {1}", value, units[unit]);
}

std::string durationText(uint64_t seconds) {
    if (seconds >= 100 * 3600) return {};
    uint64_t hours = seconds / 3600, minutes = seconds / 60 % 60;
    std::string secs = format("{}{}", seconds % 60 < 10 ? "0" : "", seconds % 60);
    if (hours == 0) return format("{}:{}", minutes, secs);
    return format("{}:{}{}:{}", hours, minutes < 10 ? "0" : "", minutes, secs);
}

std::string progressLine(const ProgressFacts& facts, size_t columns) {
    const bool batch = facts.count > 0;
    std::string before = batch ? format("file {} of {}{}", facts.position, facts.count, gap) : std::string();
    std::string after;
    if (batch) after = format("{}batch {}", gap, amountText(facts.batchDone, facts.batchTotal));
    if (facts.rate > 0) {
        after += format("{}{}/s", gap, sizeText(static_cast<uint64_t>(facts.rate)));
        if (facts.cap > 0) after += format(" (limit {}/s)", sizeText(facts.cap));
        // The batch's total when there is one, else the file's, says how long is left.
        bool batchKnown = batch && facts.batchTotal != unknownSize;
        uint64_t done = batchKnown ? facts.batchDone : facts.done;
        uint64_t total = batchKnown ? facts.batchTotal : facts.total;
        if (total != unknownSize) {
            uint64_t left = total > done ? total - done : 0;
            std::string time = durationText(static_cast<uint64_t>(std::ceil(static_cast<double>(left) / facts.rate)));
            if (!time.empty()) after += format("{}{} left", gap, time);
        }
    }
    // Where the line is too wide, a batch's file first gives up its sizes
    // (keeping its percent), then the name its start.
    std::string file = std::string(gap) + amountText(facts.done, facts.total);
    auto width = [&] { return text::displayWidth(before + file + after); };
    if (batch && facts.total != unknownSize && width() + text::displayWidth(facts.name) > columns)
        file = std::string(gap) + file.substr(file.rfind(' ') + 1);
    size_t fixed = width();
    size_t nameWidth = text::displayWidth(facts.name);
    if (fixed + nameWidth <= columns || nameWidth <= ellipsis.size() + shortestName)
        return before + facts.name + file + after;
    size_t room = std::max(columns > fixed + ellipsis.size() ? columns - fixed - ellipsis.size() : 0, shortestName);
    return before + shortened(facts.name, room) + file + after;
}

}  // namespace dorvan
