#pragma once
// Walks a local folder, and optionally its subfolders, collecting the files
// that pass the filter set (matched against the whole path), the folders met
// and error texts. Symbolic links to folders are not followed.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "scan/scan_filter.h"

namespace dorvan {

class LocalScan {
public:
    using Predicate = std::function<bool(const std::string& path, bool isFolder)>;

    LocalScan();  // takes the filter's `now` from the clock

    std::string path;  // start folder of scan()
    bool recurse = false;
    ScanFilter filter;

    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& files() const { return files_; }    // full paths
    std::vector<std::string> takeFiles() { return std::move(files_); }  // the same, leaving none here
    const std::vector<std::string>& folders() const { return folders_; }

    LocalScan& scan();
    LocalScan& scan(const std::string& start, bool descend);
    // Keeps folders, and the files whose path is exactly `name`.
    LocalScan& scanFor(const std::string& start, const std::string& name, bool descend);
    LocalScan& scan(const std::string& start, Predicate callerFilter, bool descend);

private:
    void walk(const std::string& folder, bool descend, int depth);
    bool accept(const std::string& file, bool isFolder);

    Predicate callerFilter_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    std::vector<std::string> errors_;
};

}  // namespace dorvan
