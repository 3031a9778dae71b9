#include "platform/folder_listing.h"

#include <windows.h>

#include "platform/wide_text_win.h"

namespace dorvan::platform {

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
        // A reparse point to a folder (a junction or a folder link) counts as
        // a symbolic link that leads to a folder.
        const bool folderEntry = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        entries.push_back({.name = std::move(name), .isFolder = folderEntry, .isSymlink = link});
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

}  // namespace dorvan::platform
