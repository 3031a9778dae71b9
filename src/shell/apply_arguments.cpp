#include "shell/apply_arguments.h"

#include <string>

#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "shell/argument_check.h"
#include "shell/argument_parser.h"
#include "shell/argument_table.h"
#include "shell/value_syntax.h"

namespace dorvan {
namespace {

template <typename T>
T& fieldOf(Settings& s, const ArgumentRow& row) {
    return s.*std::get<T Settings::*>(row.field);
}

template <typename T, typename Value>
bool storeIf(Settings& s, const ArgumentRow& row, const std::optional<Value>& parsed) {
    if (!parsed) return false;
    fieldOf<T>(s, row) = static_cast<T>(*parsed);
    return true;
}

// The products are taken in 64 bits without an overflow check.
std::optional<int64_t> scaled(std::optional<int64_t> value, int64_t factor) {
    if (!value) return value;
    return static_cast<int64_t>(static_cast<uint64_t>(*value) * static_cast<uint64_t>(factor));
}

std::string remoteFolderOf(std::string folder) {
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// A path that is not an existing folder is reported and skipped (false); it
// does not count as rejected, so the arguments after it are still stored.
bool storeLocalFolder(Settings& s, const ArgumentRow& row, const std::string& value, bool mayBeMissing) {
    const bool exists = platform::pathExists(value);
    if (!exists && (!mayBeMissing || value.empty()))
        return printMessage(Level::Error, format("specified local '{}' does not exists", value));
    if (exists && !platform::isFolder(value))
        return printMessage(Level::Error, format("specified local '{}' is not a folder", value));
    std::string folder = platform::withLocalSeparators(value);
    if (folder.back() != platform::localSeparator()) folder += platform::localSeparator();
    fieldOf<std::string>(s, row) = std::move(folder);
    return true;
}

// False when the value does not have the row's syntax.
bool storeValue(Settings& s, const ArgumentRow& row, const std::string& value, FolderChecks& folders) {
    switch (row.syntax) {
        case ValueSyntax::text: fieldOf<std::string>(s, row) = value; return true;
        case ValueSyntax::remoteFolder:
            fieldOf<std::string>(s, row) = remoteFolderOf(value);
            folders.remoteStored = true;
            return true;
        case ValueSyntax::localFolder:
            if (!storeLocalFolder(s, row, value, folders.localMayBeMissing)) folders.localFailed = true;
            return true;
        case ValueSyntax::boolean: return storeIf<bool>(s, row, parseBoolean(value));
        case ValueSyntax::imageFlag: {
            auto image = parseBoolean(value);
            if (image) fieldOf<char>(s, row) = *image ? 'I' : 'A';
            return image.has_value();
        }
        case ValueSyntax::firstCharacter:
            if (!value.empty()) fieldOf<char>(s, row) = value.front();
            return true;
        case ValueSyntax::int32:
            if (std::holds_alternative<std::atomic<int32_t> Settings::*>(row.field)) {
                auto parsed = parseInt32(value);
                if (parsed) fieldOf<std::atomic<int32_t>>(s, row) = *parsed;
                return parsed.has_value();
            }
            return storeIf<int32_t>(s, row, parseInt32(value));
        case ValueSyntax::positiveInt32: {
            auto parsed = parseInt32(value);
            return parsed && *parsed >= 1 && storeIf<int32_t>(s, row, parsed);
        }
        case ValueSyntax::boundedInt32: {
            auto parsed = parseInt32(value);
            return parsed && *parsed >= row.bounds.first && *parsed <= row.bounds.second &&
                   storeIf<int32_t>(s, row, parsed);
        }
        case ValueSyntax::uint32: return storeIf<uint32_t>(s, row, parseUInt32(value));
        case ValueSyntax::int64: return storeIf<int64_t>(s, row, parseInt64(value));
        case ValueSyntax::kilobytes: return storeIf<int64_t>(s, row, scaled(parseKilobytes(value), 1024));
        case ValueSyntax::minutes: return storeIf<int64_t>(s, row, scaled(parseInt64(value), ticksPerMinute));
        case ValueSyntax::tlsMode: return storeIf<std::string>(s, row, parseTlsMode(value));
        case ValueSyntax::direction: return storeIf<std::string>(s, row, parseDirection(value));
        case ValueSyntax::checksumMode: return storeIf<std::string>(s, row, parseChecksumMode(value));
        case ValueSyntax::localFile:
            if (!platform::pathExists(value) || platform::isFolder(value)) return false;
            fieldOf<std::string>(s, row) = value;
            return true;
    }
    return false;
}

void clearToDefault(Settings& s, const ArgumentRow& row) {
    std::visit(
        [&s](auto member) {
            if constexpr (requires { s.*member = settingsDefaults().*member; }) s.*member = settingsDefaults().*member;
        },
        row.field);
}

}  // namespace

bool applyArguments(const ArgumentList& tokens, FolderChecks* folders) {
    FolderChecks unused;
    if (!folders) folders = &unused;
    if (!checkArgumentLine(tokens, nullptr)) return false;
    Settings& s = settings();
    ParsedArguments parsed = parseArguments(tokens);
    for (const ArgumentRow& row : argumentRows()) {
        auto found = parsed.find(std::string(row.name));
        if (found == parsed.end()) continue;
        const std::vector<std::string>& values = found->second.values;
        if (values.empty() && row.clearable) clearToDefault(s, row);
        for (const std::string& value : values) {
            if (!storeValue(s, row, value, *folders)) {
                printMessage(Level::Error, format(row.rejection, row.name, value));
                return false;
            }
            if (row.afterStore) row.afterStore(s);
        }
    }
    return true;
}

}  // namespace dorvan
