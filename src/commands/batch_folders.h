#pragma once
// Folders that batch transfers create on either side, remembered for the
// whole process. The local table is used by one thread at a time (the batch
// runner calls it only from a file's start, under its order lock); the
// remote one by any number of threads.
#include <cstdint>
#include <string>

#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

// Makes sure every folder on the local file path exists (each local
// separator closes one). False with the reason when a folder cannot be made or a file stands
// where a folder is needed. A remembered folder is looked at again, so one
// deleted since is made anew.
bool ensureLocalFolders(const std::string& localFilePath, std::string* error);

// Why no file is to be written or read at `path` (which begins with the
// local folder `folder`) when an entry on it below the folder, the path
// itself included, is a symbolic link that leads outside the folder; empty
// when none does. A link that leads nowhere is written over, never through.
std::string linkLeadingOutside(const std::string& folder, const std::string& path);

// Sends MKD for every folder on the remote path (relative to `currentFolder`)
// that has not been tried at the same place before, and waits for the MKD
// of any such folder another thread has sent. Each MKD runs through
// `runStep` (given the folder in the server's `encoding`).
void ensureRemoteFolders(FtpLib& session, const std::string& remotePath, const std::string& currentFolder,
                         uint32_t encoding, const StepRunner& runStep = runOnce);

// Reports " Made dir: ..." for each folder on the remote path that
// ensureRemoteFolders made and that was not reported before.
void reportMadeRemoteFolders(const std::string& remotePath, const std::string& currentFolder);

}  // namespace dorvan
