#include "ftp/ftp_lib.h"
#include "ftp/listing_parser.h"
#include "platform/clock.h"

namespace dorvan {

FtpFileInfo parseLine(std::string_view line, const std::string& systemType) {
    FtpFileInfo info;
    ListingReport report;
    if (line.empty() || !parseListing(report, line.data(), line.size())) return info;
    if (report.nameLength > 0)
        info.name = std::string(line.substr(static_cast<size_t>(report.name), static_cast<size_t>(report.nameLength)));
    bool folder = report.folder != 0;
    bool retrieval = report.retrieval != 0;
    info.type = folder == retrieval ? FtpFileType::unknown : folder ? FtpFileType::dir : FtpFileType::file;
    if (info.name == ".") info.type = FtpFileType::cdir;
    if (info.name == "..") info.type = FtpFileType::pdir;
    info.symlink = report.link != 0;
    info.backslashSeparates = report.style == msDosStyle || systemType.find("Windows") != std::string::npos;
    if (report.sizeKind != 0 && report.size >= 0) info.size = static_cast<uint64_t>(report.size);
    // A time is given only when the server's system type is known (login fills it).
    if (report.timeKind != 0 && !systemType.empty())
        info.modify = platform::unixEpochTicks + report.time * platform::ticksPerSecond;
    return info;
}

}  // namespace dorvan
