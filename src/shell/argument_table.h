#pragma once
// The argument table: one row per argument holds everything the program knows
// about it except its help text, which the argument help table keeps under the
// same name. Rows stand in the order values are stored; adding an argument is
// adding a row (and its help text).
#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "settings/settings.h"

namespace dorvan {

// How a typed value is read and what is stored.
enum class ValueSyntax {
    text,            // as typed
    remoteFolder,    // '\' becomes '/', one trailing '/' dropped unless the value is "/"
    localFolder,     // an existing folder, stored ending with '/'
    boolean,         // "true" or "false" in any letter case
    imageFlag,       // boolean stored as transfer type: true 'I', false 'A'
    firstCharacter,  // only its first character; an empty value keeps the old one
    int32,
    positiveInt32,
    uint32,
    int64,
    kilobytes,     // unsigned KB, stored in bytes (not checked for overflow)
    minutes,       // signed minutes, stored in ticks (not checked for overflow)
    tlsMode,       // "none", "explicit" or "implicit" in any letter case, stored in lower case
    checksumMode,  // "auto", "true" or "false" in any letter case, stored in lower case
    localFile,     // an existing file, stored as typed
    boundedInt32,  // a number from ArgumentRow::bounds[0] to bounds[1]
    direction,     // "down" or "up" in any letter case, stored in lower case
};

// How status shows a field. A line whose text would be empty is left out.
enum class StatusShape {
    hidden,
    plain,         // text as is, numbers in decimal, booleans true/false, a character as itself
    secret,        // "****" for any text, so that printed or mailed output never holds it
    command,       // text as is, but the argument of a PASS or ACCT command as "****"
    transferType,  // "image" or "ascii"
    kilobytes,     // the bytes in whole KB; left out while at its default (unset)
    minutes,       // the ticks in whole minutes; left out while at its default
    count,         // decimal; left out while at its default
};

using SettingsField = std::variant<std::string Settings::*, bool Settings::*, char Settings::*, int32_t Settings::*,
                                   uint32_t Settings::*, int64_t Settings::*, std::atomic<int32_t> Settings::*>;

struct ArgumentRow {
    std::string_view name;  // as typed after "--", case-sensitive; also the status label
    std::array<std::string_view, 2> aliases = {};
    ValueSyntax syntax;
    SettingsField field;                      // declared in ResettableArguments when closing the session resets it
    std::string_view rejection = {};          // message template filled with the name and the value as typed
    bool clearable = false;                   // given without a value: back to its default
    void (*afterStore)(Settings&) = nullptr;  // what a stored value changes at once
    std::pair<int32_t, int32_t> bounds = {};  // of a boundedInt32
    StatusShape status = StatusShape::plain;
    int statusLine = 0;  // status lists the shown rows by this number
};

std::span<const ArgumentRow> argumentRows();

// The argument a typed name stands for: an alias gives its argument's name.
std::string_view argumentNameFor(std::string_view typed);
// Whether a row has this name (aliases already resolved by argumentNameFor).
bool isArgumentName(std::string_view name);

}  // namespace dorvan
