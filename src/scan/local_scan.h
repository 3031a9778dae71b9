#pragma once
// Walks a local folder, and optionally its subfolders, collecting the files
// that pass the filter set (matched against the whole path; exclude patterns
// also against the path below the start), the folders met
// and error texts. Symbolic links to folders are not followed.
#include <string>
#include <utility>
#include <vector>

#include "scan/scan_filter.h"

namespace dorvan {

class LocalScan {
public:
    LocalScan();  // takes the filter's `now` from the clock

    ScanFilter filter;

    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& files() const { return files_; }    // full paths
    std::vector<std::string> takeFiles() { return std::move(files_); }  // the same, leaving none here
    const std::vector<std::string>& folders() const { return folders_; }
    // Symbolic links to folders, not followed.
    const std::vector<std::string>& linkedFolders() const { return linkedFolders_; }
    // The folders whose contents are not known in full (not listed, too deep, cut short).
    const std::vector<std::string>& unlisted() const { return unlisted_; }

    LocalScan& scan(const std::string& start, bool descend);

private:
    void walk(const std::string& folder, bool descend, int depth);
    bool accept(const std::string& file, bool isFolder);

    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    std::vector<std::string> errors_;
    std::vector<std::string> unlisted_;
    std::vector<std::string> linkedFolders_;
    std::string start_;
};

}  // namespace dorvan
