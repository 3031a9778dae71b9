#include "platform/paths.h"

#include <windows.h>

#include <shlobj.h>
#include <cerrno>

#include "platform/paths_os.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

std::string specialFolder(int folder) {
    wchar_t path[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, path, folder, TRUE)) return {};
    return narrow(path);
}

bool attributesOf(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return !path.empty() && GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data);
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

namespace os {

std::string programPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return narrow(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string userDataFolder() { return specialFolder(CSIDL_APPDATA); }

}  // namespace os

bool createFolders(const std::string& path, unsigned) {
    // A drive ("C:") or a share ("\\server\share") is never made.
    size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    if (path.starts_with("\\\\")) {
        start = path.find_first_of("\\/", 2);
        start = start == std::string::npos ? path.size() : path.find_first_of("\\/", start + 1);
        if (start == std::string::npos) start = path.size();
    }
    for (size_t i = start; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) continue;
        std::string partial = path.substr(0, i);
        if (i > start && !isFolder(partial)) CreateDirectoryW(widen(partial).c_str(), nullptr);
    }
    return isFolder(path);
}

bool isAbsolutePath(const std::string& path) { return path.size() >= 2 && path[1] == ':'; }

char localSeparator() { return '\\'; }

std::string withLocalSeparators(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string withSlashSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

std::string shortcutIconFile() { return specialFolder(CSIDL_SYSTEM) + "\\url.dll"; }

std::string ownFilesFolder() { return programFolder(); }

std::string commandFilePath(const std::string& name) { return programFolder() + name; }

std::string manualPageAddress(const std::string&) { return {}; }

bool pathExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributesOf(path, data);
}

bool isFolder(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributesOf(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributesOf(path, data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isSpecialFile(const std::string& path) {
    // Devices and pipes are reached through the \\.\ namespace.
    return path.starts_with("\\\\.\\");
}

std::optional<uint64_t> fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributesOf(path, data)) return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool removeFile(const std::string& path) { return DeleteFileW(widen(path).c_str()); }

bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), 0)) return true;
    errno = errnoOf(GetLastError());
    return false;
}

bool renameFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = errnoOf(GetLastError());
    return false;
}

}  // namespace dorvan::platform
