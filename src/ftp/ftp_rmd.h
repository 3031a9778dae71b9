#pragma once
// Empties a remote folder depth first: every file and symbolic link in it and
// every subfolder with its contents, recording what went and what did not.
// The folder itself stays; the caller removes it. A link goes with DELE: the
// link itself, never what it leads to.
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/ftp_scan_lister.h"
#include "ftp/listed_name.h"

namespace dorvan {

class FtpLib;

class FtpRmd {
public:
    // The session must outlive the remover.
    explicit FtpRmd(FtpLib& session) : session_(session), lister_(session) {}
    virtual ~FtpRmd() = default;
    FtpRmd(const FtpRmd&) = delete;
    FtpRmd& operator=(const FtpRmd&) = delete;

    virtual const std::vector<std::string>& errors() const { return errors_; }
    // Each record's name is the full path sent to the server.
    virtual const std::vector<FtpFileInfo>& deletedFiles() const { return deletedFiles_; }
    virtual const std::vector<FtpFileInfo>& removedFolders() const { return removedFolders_; }
    virtual const std::vector<FtpFileInfo>& failures() const { return failures_; }

    // `folder` is already in the server's encoding. With justPrint nothing is
    // sent but LIST; the lists show what would go.
    virtual FtpRmd& remove(const std::string& folder);

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
    void refuse(FtpFileInfo entry);
    void giveUp(const std::string& folder, const std::string& reason);
    void say(const std::string& line) const;

    FtpLib& session_;
    ScanLister lister_;
    std::vector<FtpFileInfo> deletedFiles_;
    std::vector<std::string> errors_;
    std::vector<FtpFileInfo> removedFolders_;
    std::vector<FtpFileInfo> failures_;
};

}  // namespace dorvan
