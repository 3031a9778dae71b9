#pragma once
// Empties a remote folder depth first: every file in it and every subfolder
// with its contents, recording what went and what did not. The folder itself
// stays; the caller removes it.
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

class FtpRmd {
public:
    // The session must outlive the remover.
    explicit FtpRmd(FtpLib& session) : session_(session) {}
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

    bool justPrint = false;
    bool verbose = false;  // a console line (not logged) for each DELE or RMD outcome
    StepRunner runStep = runOnce;  // each listing, DELE and RMD, named by its path

private:
    void empty(const std::string& folder, int depth);
    void removeFolder(FtpFileInfo entry, int depth);
    void deleteFile(FtpFileInfo entry);
    void refuse(FtpFileInfo entry);
    void giveUp(const std::string& folder, const std::string& reason);
    void say(const std::string& line) const;

    FtpLib& session_;
    std::vector<FtpFileInfo> deletedFiles_;
    std::vector<std::string> errors_;
    std::vector<FtpFileInfo> removedFolders_;
    std::vector<FtpFileInfo> failures_;
};

}  // namespace dorvan
