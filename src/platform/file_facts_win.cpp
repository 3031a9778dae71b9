#include "platform/file_facts.h"

#include <windows.h>

#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

constexpr int64_t fileTimeEpochTicks = 504'911'232'000'000'000;  // 1601-01-01 in ticks

int64_t ticksOf(const FILETIME& t) {
    auto value = static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return value == 0 ? unknownFileTime : fileTimeEpochTicks + value;
}

}  // namespace

bool fileFacts(const std::string& path, FileFacts& facts, std::string* error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) {
        *error = path + ": " + fileErrorText(GetLastError());
        return false;
    }
    facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    facts.modified = ticksOf(data.ftLastWriteTime);
    facts.accessed = ticksOf(data.ftLastAccessTime);
    facts.created = ticksOf(data.ftCreationTime);
    return true;
}

bool setModifiedTime(const std::string& path, int64_t ticks, std::string* error) {
    if (ticks < fileTimeEpochTicks) {
        *error = path + ": a time before the year 1601";
        return false;
    }
    HANDLE file = CreateFileW(widen(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = path + ": " + fileErrorText(GetLastError());
        return false;
    }
    const auto value = static_cast<uint64_t>(ticks - fileTimeEpochTicks);
    const FILETIME written = {.dwLowDateTime = static_cast<DWORD>(value),
                              .dwHighDateTime = static_cast<DWORD>(value >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &written) != 0;
    if (!set) *error = path + ": " + fileErrorText(GetLastError());
    CloseHandle(file);
    return set;
}

}  // namespace dorvan::platform
