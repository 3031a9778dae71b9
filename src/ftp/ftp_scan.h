#pragma once
// Walks a remote folder, and optionally its subtree, through the session's
// listing, sorting what it finds into accepted files, folders met and error
// texts. Result names are paths relative to the start, "/" separated.
#include <functional>
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/scan_filter.h"
#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

class FtpScan {
public:
    using Predicate = std::function<bool(const FtpFileInfo&)>;

    // `now` of the filter is taken from the clock here.
    explicit FtpScan(FtpLib& session);

    std::string path;  // start folder of scan(); empty: the server's current folder
    bool recurse = false;
    ScanFilter filter;
    StepRunner runStep = runOnce;  // each listing, named by its folder ("." for the start)

    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<FtpFileInfo>& files() const { return files_; }
    const std::vector<FtpFileInfo>& folders() const { return folders_; }
    // Hands the three lists over, leaving the scanner empty.
    void takeResults(std::vector<FtpFileInfo>& files, std::vector<FtpFileInfo>& folders,
                     std::vector<std::string>& errors);

    FtpScan& scan();
    FtpScan& scan(const std::string& start, bool descend);
    // Keeps only the files whose path (after a drive colon, if any) is `name`.
    FtpScan& scanFor(const std::string& start, const std::string& name, bool descend);
    FtpScan& scan(const std::string& start, Predicate callerFilter, bool descend);

private:
    void walk(const std::string& folder, bool descend, std::vector<size_t>& listingsAbove);
    void walkEntries(const std::string& folder, bool descend, std::vector<FtpFileInfo>& entries,
                     std::vector<size_t>& listingsAbove);

    FtpLib& session_;
    Predicate callerFilter_;
    std::vector<FtpFileInfo> files_;
    std::vector<FtpFileInfo> folders_;
    std::vector<std::string> errors_;
};

}  // namespace dorvan
