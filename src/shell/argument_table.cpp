#include "shell/argument_table.h"

#include <algorithm>

#include "commands/retry.h"
#include "commands/session_support.h"

namespace dorvan {
namespace {

using S = Settings;

constexpr std::string_view invalidNumber = "Invalid {} number '{}'";
constexpr std::string_view invalidNumberColon = "Invalid {} number: '{}'";
constexpr std::string_view invalidQuoted = "Invalid {} parameter '{}'";
constexpr std::string_view invalidColonQuoted = "Invalid {} parameter: '{}'";
constexpr std::string_view invalidColon = "Invalid {} parameter: {}";

constexpr ArgumentRow rows[] = {
    {.name = "host", .syntax = ValueSyntax::text, .field = &S::host, .statusLine = 1},
    {.name = "port",
     .syntax = ValueSyntax::boundedInt32,
     .field = &S::port,
     .rejection = invalidNumber,
     .bounds = {1, 65535},
     .statusLine = 2},
    {.name = "username", .syntax = ValueSyntax::text, .field = &S::username, .statusLine = 3},
    {.name = "password",
     .syntax = ValueSyntax::text,
     .field = &S::password,
     .status = StatusShape::secret,
     .statusLine = 4},
    // Storing a remote folder also changes to it at once when logged in (sends CWD).
    {.name = "remote",
     .syntax = ValueSyntax::remoteFolder,
     .field = &S::remote,
     .clearable = true,
     .afterStore = [](S& s) { changeToRemote(s.remote); },
     .statusLine = 5},
    {.name = "local", .aliases = {"lcd"}, .syntax = ValueSyntax::localFolder, .field = &S::local, .statusLine = 6},
    {.name = "passive",
     .syntax = ValueSyntax::boolean,
     .field = &S::passive,
     .rejection = invalidQuoted,
     .afterStore = applyPassive,
     .statusLine = 7},
    {.name = "overwrite",
     .syntax = ValueSyntax::boolean,
     .field = &S::overwrite,
     .rejection = "Invalid {} parameter {}",
     .statusLine = 9},
    {.name = "image",
     .syntax = ValueSyntax::imageFlag,
     .field = &S::transferType,
     .rejection = invalidQuoted,
     .afterStore = announceTransferType,
     .status = StatusShape::transferType,
     .statusLine = 10},
    {.name = "recurse",
     .syntax = ValueSyntax::boolean,
     .field = &S::recurse,
     .rejection = invalidQuoted,
     .statusLine = 17},
    {.name = "expresp",
     .syntax = ValueSyntax::firstCharacter,
     .field = &S::expresp,
     .rejection = invalidQuoted,
     .statusLine = 16},
    {.name = "encoding",
     .syntax = ValueSyntax::uint32,
     .field = &S::encoding,
     .rejection = invalidQuoted,
     .statusLine = 12},
    {.name = "include", .syntax = ValueSyntax::text, .field = &S::include, .clearable = true, .statusLine = 18},
    {.name = "exclude", .syntax = ValueSyntax::text, .field = &S::exclude, .clearable = true, .statusLine = 19},
    {.name = "lsize",
     .aliases = {"1size"},
     .syntax = ValueSyntax::kilobytes,
     .field = &S::lsize,
     .rejection = invalidQuoted,
     .clearable = true,
     .status = StatusShape::kilobytes,
     .statusLine = 20},
    {.name = "gsize",
     .syntax = ValueSyntax::kilobytes,
     .field = &S::gsize,
     .rejection = invalidQuoted,
     .clearable = true,
     .status = StatusShape::kilobytes,
     .statusLine = 21},
    {.name = "lmodified",
     .aliases = {"1modified"},
     .syntax = ValueSyntax::minutes,
     .field = &S::lmodified,
     .rejection = invalidNumberColon,
     .clearable = true,
     .status = StatusShape::minutes,
     .statusLine = 22},
    {.name = "gmodified",
     .syntax = ValueSyntax::minutes,
     .field = &S::gmodified,
     .rejection = invalidNumberColon,
     .clearable = true,
     .status = StatusShape::minutes,
     .statusLine = 23},
    {.name = "maxfiles",
     .syntax = ValueSyntax::int64,
     .field = &S::maxfiles,
     .rejection = invalidNumberColon,
     .clearable = true,
     .status = StatusShape::count,
     .statusLine = 24},
    {.name = "maxfolders",
     .syntax = ValueSyntax::int64,
     .field = &S::maxfolders,
     .rejection = invalidNumberColon,
     .clearable = true,
     .status = StatusShape::count,
     .statusLine = 25},
    {.name = "name", .syntax = ValueSyntax::text, .field = &S::name, .status = StatusShape::command, .statusLine = 13},
    {.name = "src", .syntax = ValueSyntax::text, .field = &S::src, .statusLine = 14},
    {.name = "dst", .syntax = ValueSyntax::text, .field = &S::dst, .statusLine = 15},
    {.name = "debug",
     .syntax = ValueSyntax::int32,
     .field = &S::debug,
     .rejection = invalidColon,
     .afterStore = applyDebugLevel,
     .statusLine = 11},
    {.name = "justprint",
     .aliases = {"justPrint", "JUSTPRINT"},
     .syntax = ValueSyntax::boolean,
     .field = &S::justprint,
     .rejection = invalidColonQuoted,
     .statusLine = 8},
    {.name = "keepalive",
     .syntax = ValueSyntax::int32,
     .field = &S::keepalive,
     .rejection = invalidColon,
     .status = StatusShape::hidden},
    {.name = "compress", .syntax = ValueSyntax::text, .field = &S::compress, .statusLine = 26},
    {.name = "timeout",
     .syntax = ValueSyntax::positiveInt32,
     .field = &S::timeout,
     .rejection = invalidColon,
     .statusLine = 27},
    {.name = "errorlevel",
     .syntax = ValueSyntax::boolean,
     .field = &S::errorlevel,
     .rejection = invalidQuoted,
     .statusLine = 28},
    {.name = "tls",
     .syntax = ValueSyntax::tlsMode,
     .field = &S::tls,
     .rejection = invalidColonQuoted,
     .statusLine = 29},
    {.name = "verify",
     .syntax = ValueSyntax::boolean,
     .field = &S::verify,
     .rejection = invalidColonQuoted,
     .statusLine = 30},
    {.name = "cafile",
     .syntax = ValueSyntax::localFile,
     .field = &S::cafile,
     .rejection = "Invalid {} parameter, not a file: '{}'",
     .clearable = true,
     .statusLine = 31},
    {.name = "parallel",
     .syntax = ValueSyntax::boundedInt32,
     .field = &S::parallel,
     .rejection = invalidColon,
     .bounds = {1, maxParallelSessions},
     .statusLine = 32},
    {.name = "retries",
     .syntax = ValueSyntax::boundedInt32,
     .field = &S::retries,
     .rejection = invalidColon,
     .bounds = {0, maxRetries},
     .statusLine = 33},
    {.name = "retrywait",
     .syntax = ValueSyntax::boundedInt32,
     .field = &S::retrywait,
     .rejection = invalidColon,
     .bounds = {1, maxRetryWait},
     .statusLine = 34},
    {.name = "resume",
     .syntax = ValueSyntax::boolean,
     .field = &S::resume,
     .rejection = invalidColonQuoted,
     .statusLine = 35},
    {.name = "keeptime",
     .syntax = ValueSyntax::boolean,
     .field = &S::keeptime,
     .rejection = invalidColonQuoted,
     .statusLine = 36},
    {.name = "netrc",
     .syntax = ValueSyntax::boolean,
     .field = &S::netrc,
     .rejection = invalidColonQuoted,
     .statusLine = 37},
    {.name = "direction",
     .syntax = ValueSyntax::direction,
     .field = &S::direction,
     .rejection = invalidColonQuoted,
     .statusLine = 38},
    {.name = "delete",
     .syntax = ValueSyntax::boolean,
     .field = &S::mirrorDeletes,
     .rejection = invalidColonQuoted,
     .statusLine = 39},
    {.name = "maxdelete",
     .syntax = ValueSyntax::int64,
     .field = &S::maxdelete,
     .rejection = invalidNumberColon,
     .clearable = true,
     .status = StatusShape::count,
     .statusLine = 40},
    {.name = "journal", .syntax = ValueSyntax::text, .field = &S::journal, .clearable = true, .statusLine = 41},
    {.name = "checksum",
     .syntax = ValueSyntax::checksumMode,
     .field = &S::checksum,
     .rejection = invalidColonQuoted,
     .statusLine = 42},
    {.name = "ratelimit",
     .syntax = ValueSyntax::uint32,
     .field = &S::ratelimit,
     .rejection = invalidColon,
     .statusLine = 43},
};

template <typename T>
constexpr bool holds(const ArgumentRow& row) {
    return std::holds_alternative<T Settings::*>(row.field);
}

// Every row's field has the type its value syntax stores.
constexpr bool fieldFitsSyntax(const ArgumentRow& row) {
    switch (row.syntax) {
        case ValueSyntax::text:
        case ValueSyntax::remoteFolder:
        case ValueSyntax::localFolder:
        case ValueSyntax::tlsMode:
        case ValueSyntax::direction:
        case ValueSyntax::checksumMode:
        case ValueSyntax::localFile: return holds<std::string>(row);
        case ValueSyntax::boolean: return holds<bool>(row);
        case ValueSyntax::imageFlag:
        case ValueSyntax::firstCharacter: return holds<char>(row);
        case ValueSyntax::int32: return holds<int32_t>(row) || holds<std::atomic<int32_t>>(row);
        case ValueSyntax::positiveInt32: return holds<int32_t>(row);
        case ValueSyntax::boundedInt32: return holds<int32_t>(row) && row.bounds.first <= row.bounds.second;
        case ValueSyntax::uint32: return holds<uint32_t>(row);
        case ValueSyntax::int64:
        case ValueSyntax::kilobytes:
        case ValueSyntax::minutes: return holds<int64_t>(row);
    }
    return false;
}
constexpr bool fieldFitsStatus(const ArgumentRow& row) {
    switch (row.status) {
        case StatusShape::hidden:
        case StatusShape::plain: return true;
        case StatusShape::secret:
        case StatusShape::command: return holds<std::string>(row);
        case StatusShape::transferType: return holds<char>(row);
        case StatusShape::kilobytes:
        case StatusShape::minutes:
        case StatusShape::count: return holds<int64_t>(row);
    }
    return false;
}

static_assert(std::ranges::all_of(rows, fieldFitsSyntax));
static_assert(std::ranges::all_of(rows, fieldFitsStatus));

}  // namespace

std::span<const ArgumentRow> argumentRows() { return rows; }

std::string_view argumentNameFor(std::string_view typed) {
    for (const ArgumentRow& row : rows)
        for (std::string_view alias : row.aliases)
            if (!alias.empty() && alias == typed) return row.name;
    return typed;
}

bool isArgumentName(std::string_view name) {
    return std::ranges::any_of(rows, [name](const ArgumentRow& row) { return row.name == name; });
}

}  // namespace dorvan
