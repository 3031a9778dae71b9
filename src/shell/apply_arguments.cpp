#include "shell/apply_arguments.h"

#include <string>
#include <string_view>

#include "commands/session_support.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "shell/argument_parser.h"
#include "shell/value_syntax.h"

namespace dorvan {
namespace {

// A storing rule returns false when it rejects the value.
using StoreRule = bool (*)(const std::string& value);
using ClearRule = void (*)();

struct ArgumentRow {
    std::string_view name;
    StoreRule store;
    std::string_view rejection = {};  // template filled with the name and the value
    ClearRule clear = nullptr;        // for arguments an empty value list resets
};

Settings& s() { return settings(); }

bool storeLocal(const std::string& value) {
    if (!platform::pathExists(value)) {
        printMessage(Level::Error, format("specified local '{}' does not exists", value));
        return true;
    }
    if (!platform::isFolder(value)) {
        printMessage(Level::Error, format("specified local '{}' is not a folder", value));
        return true;
    }
    std::string folder = value;
    if (folder.back() != '/') folder += '/';
    s().local = folder;
    return true;
}

bool storeRemote(const std::string& value) {
    std::string folder = value;
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    s().remote = folder;
    changeToRemote(folder);
    return true;
}

// Parses the value and hands the result to `apply`; false when it does not parse.
template <auto Parse, typename Apply>
bool parseThen(const std::string& value, Apply apply) {
    auto parsed = Parse(value);
    if (!parsed) return false;
    apply(*parsed);
    return true;
}

template <auto Parse, typename Field>
bool storeParsed(const std::string& value, Field& field) {
    return parseThen<Parse>(value, [&field](auto parsed) { field = parsed; });
}

// The products are taken in 64 bits without an overflow check.
bool storeMinutes(const std::string& value, int64_t& field) {
    return parseThen<parseInt64>(value, [&field](int64_t minutes) {
        field = static_cast<int64_t>(static_cast<uint64_t>(minutes) * static_cast<uint64_t>(ticksPerMinute));
    });
}

bool storeKilobytes(const std::string& value, int64_t& field) {
    return parseThen<parseKilobytes>(
        value, [&field](int64_t kb) { field = static_cast<int64_t>(static_cast<uint64_t>(kb) * 1024u); });
}

const ArgumentRow argumentRows[] = {
    {.name = "host",
     .store =
         [](const std::string& v) {
             s().host = v;
             return true;
         }},
    {.name = "port",
     .store = [](const std::string& v) { return storeParsed<parseInt32>(v, s().port); },
     .rejection = "Invalid {} number '{}'"},
    {.name = "username",
     .store =
         [](const std::string& v) {
             s().username = v;
             return true;
         }},
    {.name = "password",
     .store =
         [](const std::string& v) {
             s().password = v;
             return true;
         }},
    {.name = "remote", .store = storeRemote, .clear = [] { s().remote.clear(); }},
    {.name = "local", .store = storeLocal},
    {.name = "passive",
     .store =
         [](const std::string& v) {
             return parseThen<parseBoolean>(v, [](bool passive) {
                 s().passive = passive;
                 applyPassive(passive);
             });
         },
     .rejection = "Invalid {} parameter '{}'"},
    {.name = "overwrite",
     .store = [](const std::string& v) { return storeParsed<parseBoolean>(v, s().overwrite); },
     .rejection = "Invalid {} parameter {}"},
    {.name = "image",
     .store = [](const std::string& v) { return parseThen<parseBoolean>(v, applyTransferType); },
     .rejection = "Invalid {} parameter '{}'"},
    {.name = "recurse",
     .store = [](const std::string& v) { return storeParsed<parseBoolean>(v, s().recurse); },
     .rejection = "Invalid {} parameter '{}'"},
    // An empty value has no first character: the old value stays.
    {.name = "expresp",
     .store =
         [](const std::string& v) {
             if (!v.empty()) s().expresp = v.front();
             return true;
         },
     .rejection = "Invalid {} parameter '{}'"},
    {.name = "encoding",
     .store = [](const std::string& v) { return storeParsed<parseUInt32>(v, s().encoding); },
     .rejection = "Invalid {} parameter '{}'"},
    {.name = "include",
     .store =
         [](const std::string& v) {
             s().include = v;
             return true;
         },
     .clear = [] { s().include.clear(); }},
    {.name = "exclude",
     .store =
         [](const std::string& v) {
             s().exclude = v;
             return true;
         },
     .clear = [] { s().exclude.clear(); }},
    {.name = "lsize",
     .store = [](const std::string& v) { return storeKilobytes(v, s().lsize); },
     .rejection = "Invalid {} parameter '{}'",
     .clear = [] { s().lsize = unsetSize; }},
    {.name = "gsize",
     .store = [](const std::string& v) { return storeKilobytes(v, s().gsize); },
     .rejection = "Invalid {} parameter '{}'",
     .clear = [] { s().gsize = unsetSize; }},
    {.name = "lmodified",
     .store = [](const std::string& v) { return storeMinutes(v, s().lmodified); },
     .rejection = "Invalid {} number: '{}'",
     .clear = [] { s().lmodified = unsetLimit; }},
    {.name = "gmodified",
     .store = [](const std::string& v) { return storeMinutes(v, s().gmodified); },
     .rejection = "Invalid {} number: '{}'",
     .clear = [] { s().gmodified = unsetLimit; }},
    {.name = "maxfiles",
     .store = [](const std::string& v) { return storeParsed<parseInt64>(v, s().maxfiles); },
     .rejection = "Invalid {} number: '{}'",
     .clear = [] { s().maxfiles = unsetLimit; }},
    {.name = "maxfolders",
     .store = [](const std::string& v) { return storeParsed<parseInt64>(v, s().maxfolders); },
     .rejection = "Invalid {} number: '{}'",
     .clear = [] { s().maxfolders = unsetLimit; }},
    {.name = "name",
     .store =
         [](const std::string& v) {
             s().name = v;
             return true;
         }},
    {.name = "src",
     .store =
         [](const std::string& v) {
             s().src = v;
             return true;
         }},
    {.name = "dst",
     .store =
         [](const std::string& v) {
             s().dst = v;
             return true;
         }},
    {.name = "debug",
     .store = [](const std::string& v) { return parseThen<parseInt32>(v, setDebug); },
     .rejection = "Invalid {} parameter: {}"},
    {.name = "justprint",
     .store = [](const std::string& v) { return storeParsed<parseBoolean>(v, s().justprint); },
     .rejection = "Invalid {} parameter: '{}'"},
    {.name = "keepalive",
     .store = [](const std::string& v) { return storeParsed<parseInt32>(v, s().keepalive); },
     .rejection = "Invalid {} parameter: {}"},
    {.name = "compress",
     .store =
         [](const std::string& v) {
             s().compress = v;
             return true;
         }},
    {.name = "timeout",
     .store =
         [](const std::string& v) {
             auto seconds = parseInt32(v);
             if (!seconds || *seconds < 1) return false;
             s().timeout = *seconds;
             return true;
         },
     .rejection = "Invalid {} parameter: {}"},
};

}  // namespace

bool applyArguments(const ArgumentList& tokens) {
    ParsedArguments parsed = parseArguments(tokens);
    for (const ArgumentRow& row : argumentRows) {
        auto found = parsed.find(std::string(row.name));
        if (found == parsed.end()) continue;
        const std::vector<std::string>& values = found->second.values;
        if (values.empty()) {
            if (row.clear) row.clear();
            continue;
        }
        for (const std::string& value : values) {
            if (!row.store(value)) {
                printMessage(Level::Error, format(row.rejection, row.name, value));
                return false;
            }
        }
    }
    return true;
}

}  // namespace dorvan
