#include "platform/secret_file.h"

#include <windows.h>

#include "platform/paths.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

std::string environmentValue(const wchar_t* name) {
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return n > 0 && n < std::size(value) ? narrow(std::wstring_view(value, n)) : std::string();
}

}  // namespace

std::string netrcPath() {
    std::string named = environmentValue(L"NETRC");
    return named.empty() ? environmentValue(L"USERPROFILE") + "\\_netrc" : named;
}

// The profile folder's ACL keeps the file to its user; the access facts stay at "private".
bool readSecretFile(const std::string& path, std::string& content, SecretFileAccess& access, std::string* error) {
    access = {};
    if (!isRegularFile(path)) {
        *error = pathExists(path) ? "not a regular file" : "No such file or directory";
        return false;
    }
    if (fileSize(path).value_or(0) > (1u << 20)) {
        *error = "larger than 1 MiB";
        return false;
    }
    return readWholeFile(path, content, error);
}

}  // namespace dorvan::platform
