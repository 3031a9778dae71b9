#pragma once
// Empties a remote folder depth first: every file and symbolic link in it and
// every subfolder with its contents, recording what went and what did not.
// The folder itself stays; the caller removes it. A link goes with DELE: the
// link itself, never what it leads to. A folder entry that may be a link (see
// ScanLister::provesFolders) is neither entered nor removed.
#include <string>
#include <utility>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/listed_name.h"
#include "ftp/step_runner.h"
#include "scan/scan_lister.h"

namespace dorvan {

class FtpLib;

class TreeRemoval {
public:
    // The session must outlive the remover. Each listing, DELE and RMD runs
    // through `runStep`, named by its path.
    explicit TreeRemoval(FtpLib& session, StepRunner runStep = runOnce)
        : session_(session), lister_(session), runStep_(std::move(runStep)) {
        lister_.runStep = runStep_;
        lister_.provesFolders = true;
    }
    TreeRemoval(const TreeRemoval&) = delete;
    TreeRemoval& operator=(const TreeRemoval&) = delete;

    // A folder not emptied, and each entry the server refused to remove (named, with the reply).
    const std::vector<std::string>& errors() const { return errors_; }
    // Each record's name is the full path sent to the server.
    const std::vector<FtpFileInfo>& deletedFiles() const { return deletedFiles_; }
    const std::vector<FtpFileInfo>& removedFolders() const { return removedFolders_; }
    const std::vector<FtpFileInfo>& failures() const { return failures_; }

    // `folder` is already in the server's encoding. With justPrint nothing is
    // sent but LIST; the lists show what would go.
    TreeRemoval& remove(const std::string& folder);

    // The server's current folder could not be restored: a relative path no
    // longer leads where it did.
    bool astray() const { return lister_.astray(); }

    bool justPrint = false;
    bool verbose = false;              // a console line (not logged) for each DELE or RMD outcome
    unsigned codePage = utf8CodePage;  // the server's, for the "\" characters in listed names

private:
    void empty(const std::string& folder, int depth);
    void removeFolder(FtpFileInfo entry, int depth);
    void deleteFile(FtpFileInfo entry);
    void send(FtpFileInfo entry, bool folder);
    void refuse(FtpFileInfo entry);
    void leaveAlone(FtpFileInfo entry);
    void giveUp(const std::string& folder, const std::string& reason);
    void say(const std::string& line) const;

    FtpLib& session_;
    ScanLister lister_;
    const StepRunner runStep_;
    std::vector<FtpFileInfo> deletedFiles_;
    std::vector<std::string> errors_;
    std::vector<FtpFileInfo> removedFolders_;
    std::vector<FtpFileInfo> failures_;
};

}  // namespace dorvan
