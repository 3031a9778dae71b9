#pragma once
// Folders that batch transfers create on either side, remembered for the
// whole process. Both tables are used by one thread at a time: the batch
// runner calls them only from a file's first step, under its order lock.
#include <string>

#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

// Makes sure every folder on the local file path exists (each local
// separator closes one). False with the reason when a folder cannot be made or a file stands
// where a folder is needed. A remembered folder is looked at again, so one
// deleted since is made anew.
bool ensureLocalFolders(const std::string& localFilePath, std::string* error);

// Sends MKD for every folder on the remote path (relative to `currentFolder`)
// that has not been tried at the same place before; reports each made one.
// Each MKD runs through `runStep` (given the folder in the server's encoding).
void ensureRemoteFolders(FtpLib& session, const std::string& remotePath, const std::string& currentFolder,
                         const StepRunner& runStep = runOnce);

}  // namespace dorvan
