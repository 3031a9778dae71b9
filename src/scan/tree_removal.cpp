#include "scan/tree_removal.h"

#include <exception>

#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/console.h"

namespace dorvan {
namespace {

std::string outcomeLine(const std::string& path, bool folder, bool gone) {
    if (folder) return gone ? " removed folder " + path + " " : " remove folder " + path + " failure";
    return gone ? " deleted file '" + path + "'" : " delete file '" + path + "' failure";
}

}  // namespace

TreeRemoval& TreeRemoval::remove(const std::string& folder) {
    empty(folder, 0);
    return *this;
}

// An error anywhere in one folder ends the work on that folder only; the
// caller's level goes on, and its RMD of this folder then normally fails.
// A walk that stops, or unwinds out of a loop, sends nothing more.
void TreeRemoval::empty(const std::string& folder, int depth) {
    try {
        std::vector<FtpFileInfo> entries;
        std::string error;
        if (!lister_.list(folder, depth, entries, &error)) {
            if (!error.empty()) giveUp(folder, error);
            return;
        }
        for (FtpFileInfo& entry : entries) {
            if (lister_.unwinding(depth)) return;
            const bool folderEntry = entry.type == FtpFileType::dir && !entry.symlink;
            if (!folderEntry && entry.type != FtpFileType::file && !entry.symlink) continue;  // ".", ".."
            std::string name = listedPath(entry.name, entry.backslashSeparates, codePage);
            entry.name = joinRemotePath(folder, name);
            if (!isSafeListedName(decodedName(name, codePage)))
                refuse(std::move(entry));
            else if (folderEntry && entry.mayBeLink)
                leaveAlone(std::move(entry));
            else if (folderEntry)
                removeFolder(std::move(entry), depth);
            else
                deleteFile(std::move(entry));
        }
    } catch (const std::exception& e) {  // no memory for a huge listing: this folder only
        giveUp(folder, e.what());
    }
}

void TreeRemoval::giveUp(const std::string& folder, const std::string& reason) {
    if (verbose) say(" delete '" + folder + "' catch " + reason);
    errors_.push_back(reason);
}

void TreeRemoval::removeFolder(FtpFileInfo entry, int depth) {
    const size_t files = deletedFiles_.size(), folders = removedFolders_.size();
    empty(entry.name, depth + 1);
    if (lister_.leftOut(depth + 1)) {  // a loop: what a dry run found inside is a copy; no RMD
        if (justPrint) {
            deletedFiles_.resize(files);
            removedFolders_.resize(folders);
        }
        return;
    }
    if (lister_.unwinding(depth + 1)) return;
    send(std::move(entry), true);
}

void TreeRemoval::deleteFile(FtpFileInfo entry) { send(std::move(entry), false); }

// RMD of a folder or DELE of anything else (none in a dry run), its outcome recorded.
void TreeRemoval::send(FtpFileInfo entry, bool folder) {
    if (!justPrint) {
        const bool gone =
            runStep_(entry.name, [&] { return folder ? session_.rmdir(entry.name) : session_.deleteFile(entry.name); });
        if (verbose) say(outcomeLine(entry.name, folder, gone));
        if (!gone) {
            errors_.push_back((folder ? "folder '" : "'") + entry.name + "' not removed, " + session_.lastResponse());
            failures_.push_back(std::move(entry));
            return;
        }
    }
    (folder ? removedFolders_ : deletedFiles_).push_back(std::move(entry));
}

// A listed name that would lead outside the folder being emptied: nothing is
// sent for it, in a dry run too.
void TreeRemoval::refuse(FtpFileInfo entry) {
    if (verbose) say(outcomeLine(entry.name, entry.type == FtpFileType::dir, false));
    failures_.push_back(std::move(entry));
}

// A folder entry that LIST does not show to be a folder rather than a link.
void TreeRemoval::leaveAlone(FtpFileInfo entry) {
    errors_.push_back("folder '" + entry.name + "' not entered, it may be a symbolic link");
    if (verbose) say(outcomeLine(entry.name, true, false));
    failures_.push_back(std::move(entry));
}

void TreeRemoval::say(const std::string& line) const { platform::consoleWriteLine(line); }

}  // namespace dorvan
