#pragma once
// A folder's listing over a session: its text (LIST, NLST) into a file or
// onto the console, or its entries (MLSD where the server offers it, else
// LIST), each call returning its outcome.
//
// Not locked: it runs under its session's lock, as the parts it uses.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/call_outcome.h"
#include "ftp/control_session.h"
#include "ftp/data_transfer.h"
#include "ftp/ftp_file_info.h"

namespace dorvan {

// A listing read into entries ends with a failure past either bound, so that
// what a server sends cannot exhaust the memory.
constexpr size_t maxListingEntries = 1'000'000;
constexpr uint64_t maxListingBytes = uint64_t{256} << 20;

class Listings {
public:
    Listings(ControlSession& control, DataTransfers& transfers) : control_(control), transfers_(transfers) {}

    // The text a listing command (`verb` LIST or NLST, of the current folder
    // when remotePath is empty) gives, into localPath or, when that is empty,
    // onto the console.
    CallOutcome text(const char* verb, const std::string& localPath, const std::string& remotePath);
    // The entries of a folder: by MLSD where the server offers it, else by
    // LIST. When the server refuses an MLSD that LIST then answers, the
    // session lists by LIST until forget. A listing past maxListingEntries
    // or maxListingBytes fails as a local error.
    CallOutcome entries(const std::string& remotePath, std::vector<FtpFileInfo>& entries);
    // The entries of a folder by LIST, whatever the server offers.
    CallOutcome plainEntries(const std::string& remotePath, std::vector<FtpFileInfo>& entries);
    // True once a listing of this connection had "\" separate folders (MS-DOS style lines).
    bool sawBackslashSeparators() const { return backslashSeparators_; }
    // A new control connection: MLSD is tried again where offered.
    void forget() {
        mlsdRefused_ = false;
        backslashSeparators_ = false;
    }

private:
    CallOutcome toConsole(const std::string& command);
    FtpFileInfo listLine(std::string_view line);  // parseLine, noting MS-DOS style lines
    // The entries of a listing by `verb` (LIST or MLSD), each line read by `parse`.
    CallOutcome read(const char* verb, const std::string& remotePath, std::vector<FtpFileInfo>& entries,
                     const std::function<FtpFileInfo(std::string_view line)>& parse);

    ControlSession& control_;
    DataTransfers& transfers_;
    bool mlsdRefused_ = false;  // the server refused an MLSD that LIST answered
    bool backslashSeparators_ = false;
};

// Parses one LIST line into a record; times are given only when the system
// type (the cache login fills) is known.
FtpFileInfo parseLine(std::string_view line, const std::string& systemType);
// Parses one MLSD line into a record; its time is exact to the second.
FtpFileInfo parseMachineLine(std::string_view line);

}  // namespace dorvan
