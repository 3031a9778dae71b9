#include "platform/folder_listing.h"

#include <windows.h>

#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

// A symbolic link, or a junction (a reparse point to a folder), counts as a
// symbolic link.
bool isLinkEntry(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

}  // namespace

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string* error) {
    entries.clear();
    const bool ended = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widen(folder + (ended ? "*" : "\\*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return true;  // a drive's empty root
        *error = folder + ": " + fileErrorText(code);
        return false;
    }
    do {
        std::string name = narrow(found.cFileName);
        if (name == "." || name == "..") continue;
        // A link to a folder counts as a symbolic link that leads to a folder.
        const bool folderEntry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        entries.push_back({.name = std::move(name), .isFolder = folderEntry, .isSymlink = isLinkEntry(found)});
    } while (FindNextFileW(search, &found));
    DWORD code = GetLastError();
    FindClose(search);
    if (code != ERROR_NO_MORE_FILES) {
        *error = folder + ": " + fileErrorText(code);
        return false;
    }
    return true;
}

bool makeFolder(const std::string& folder, std::string* error) {
    if (CreateDirectoryW(widen(folder).c_str(), nullptr)) return true;
    *error = folder + ": " + fileErrorText(GetLastError());
    return false;
}

bool removeFolder(const std::string& folder, std::string* error) {
    if (RemoveDirectoryW(widen(folder).c_str())) return true;
    *error = folder + ": " + fileErrorText(GetLastError());
    return false;
}

bool isSymbolicLink(const std::string& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widen(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return isLinkEntry(found);
}

bool resolvedPath(const std::string& path, std::string& resolved, std::string* error) {
    // Folders open only with backup semantics.
    HANDLE file = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = path + ": " + fileErrorText(GetLastError());
        return false;
    }
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length >= buffer.size()) {
        buffer.resize(length);
        length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    }
    DWORD code = GetLastError();
    CloseHandle(file);
    if (length == 0 || length >= buffer.size()) {
        *error = path + ": " + fileErrorText(code);
        return false;
    }
    buffer.resize(length);
    // "\\?\C:\dir" and "\\?\UNC\server\share" as the paths users write.
    if (buffer.starts_with(L"\\\\?\\UNC\\"))
        buffer.replace(0, 8, L"\\\\");
    else if (buffer.starts_with(L"\\\\?\\"))
        buffer.erase(0, 4);
    resolved = narrow(buffer);
    return true;
}

}  // namespace dorvan::platform
