#pragma once
// Walks a remote folder, and optionally its subtree, through the session's
// listing, sorting what it finds into accepted files, folders met and error
// texts. Result names are paths relative to the start, "/" separated, in the
// server's code page.
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/listed_name.h"
#include "ftp/step_runner.h"
#include "scan/scan_filter.h"

namespace dorvan {

class FtpLib;
class ScanLister;

class RemoteScan {
public:
    // `now` of the filter is taken from the clock here.
    explicit RemoteScan(FtpLib& session);

    ScanFilter filter;
    unsigned codePage = utf8CodePage;  // the server's, for the "\" characters in listed names
    StepRunner runStep = runOnce;      // each listing, named by its folder
    // For scans that delete: a folder that may be a symbolic link is not
    // entered (see ScanLister::provesFolders); each such is an error.
    bool provesFolders = false;

    // Each error names the folder it concerns: one that was not listed, not
    // entered, or where the walk stopped.
    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<FtpFileInfo>& files() const { return files_; }
    const std::vector<FtpFileInfo>& folders() const { return folders_; }
    // Files that passed every test only because their time is unknown, when
    // the filter says that fails (filter.undatedFails).
    const std::vector<FtpFileInfo>& undated() const { return undated_; }
    // The folders whose contents are not known in full: not listed, or where
    // the walk stopped or left a copy out; "" is the start.
    const std::vector<std::string>& unlisted() const { return unlisted_; }
    // The entries passed over as neither file nor folder (links among them), by path.
    const std::vector<FtpFileInfo>& skipped() const { return skipped_; }
    // Hands the lists over, leaving the scanner empty.
    void takeResults(std::vector<FtpFileInfo>& files, std::vector<FtpFileInfo>& folders,
                     std::vector<std::string>& errors, std::vector<FtpFileInfo>& undated);

    // `start` empty: the server's current folder.
    RemoteScan& scan(const std::string& start, bool descend);

private:
    void walk(ScanLister& lister, const std::string& folder, bool descend, int depth);
    void walkEntries(ScanLister& lister, const std::string& folder, bool descend, int depth,
                     std::vector<FtpFileInfo>& entries);

    FtpLib& session_;
    std::vector<FtpFileInfo> files_;
    std::vector<FtpFileInfo> folders_;
    std::vector<std::string> errors_;
    std::vector<FtpFileInfo> undated_;
    std::vector<FtpFileInfo> skipped_;
    std::vector<std::string> unlisted_;
};

}  // namespace dorvan
