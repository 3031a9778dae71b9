#include "shell/status.h"

#include <algorithm>
#include <string>
#include <vector>

#include "commands/session_support.h"
#include "ftp/masked_command.h"
#include "platform/console.h"
#include "settings/format.h"
#include "settings/settings.h"
#include "shell/argument_table.h"

namespace dorvan {
namespace {

std::string plainText(const std::string& v) { return v; }
std::string plainText(bool v) { return v ? "true" : "false"; }
std::string plainText(char v) { return std::string(1, v); }
std::string plainText(const std::atomic<int32_t>& v) { return std::to_string(v.load()); }
template <typename T>
std::string plainText(T v) {
    return std::to_string(v);
}

// The value as status shows it; empty leaves the line out.
std::string statusText(const Settings& s, const ArgumentRow& row) {
    if (row.status == StatusShape::plain)
        return std::visit([&s](auto member) { return plainText(s.*member); }, row.field);
    if (row.status == StatusShape::transferType)
        return s.*std::get<char Settings::*>(row.field) == 'I' ? "image" : "ascii";
    if (row.status == StatusShape::hidden) return {};
    if (row.status == StatusShape::secret || row.status == StatusShape::command) {
        const std::string& text = s.*std::get<std::string Settings::*>(row.field);
        if (row.status == StatusShape::command) return maskedCommand(text);
        return text.empty() ? "" : "****";
    }
    int64_t value = s.*std::get<int64_t Settings::*>(row.field);
    if (value == settingsDefaults().*std::get<int64_t Settings::*>(row.field)) return {};
    if (row.status == StatusShape::kilobytes) return std::to_string(value >> 10);
    if (row.status == StatusShape::minutes) return std::to_string(value / ticksPerMinute);
    return std::to_string(value);
}

}  // namespace

bool printStatus() {
    forgetLostSession();
    const Settings& s = settings();
    std::string out;
    auto line = [&out](std::string_view label, const std::string& value) {
        if (!value.empty()) out.append(format(" {0,-12}: {}", label, value)).append(platform::lineEnd());
    };
    line("isConnected", plainText(s.isConnected.load()));
    line("isLoggedin", plainText(s.isLoggedin.load()));
    out += platform::lineEnd();
    std::vector<const ArgumentRow*> shown;
    for (const ArgumentRow& row : argumentRows())
        if (row.status != StatusShape::hidden) shown.push_back(&row);
    std::ranges::sort(shown, {}, &ArgumentRow::statusLine);
    for (const ArgumentRow* row : shown) line(row->name, statusText(s, *row));
    out += platform::lineEnd();
    platform::consoleWrite(out);
    return true;
}

}  // namespace dorvan
