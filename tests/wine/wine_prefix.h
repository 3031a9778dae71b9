#pragma once
// The wine side of the Windows test run. One wine prefix (a Windows
// installation in a temporary folder) serves every test of the run: it is
// built once before the first test and removed, its wineserver ended, after
// the last. Set-up failures fail the run; nothing is skipped.
#include <string>

namespace dorvan::test {

// %APPDATA% inside the prefix as a POSIX path; the program keeps its log
// and archives in its Tolvane/Dorvan/ folder. Valid once the set-up passed.
const std::string& wineAppData();

// A POSIX path as the Windows program names it: C: is the prefix's drive_c
// folder, Z: the root folder.
std::string windowsPath(const std::string& posixPath);

// A certificate (a PEM file) in the prefix's trusted root store of the
// current user, as a user who trusts it keeps it, while the object lives.
class TrustedRoot {
public:
    explicit TrustedRoot(const std::string& pemFile);
    ~TrustedRoot();
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;

private:
    std::string key_;
};

}  // namespace dorvan::test
