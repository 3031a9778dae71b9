#include "ftp/ftp_time.h"
#include "ftp/listing_parser.h"
#include "ftp/listings.h"
#include "ftp/machine_listing_parser.h"
#include "platform/clock.h"

namespace dorvan {
namespace {

// Ticks a listed time stands for, by its kind.
int64_t precisionOf(int32_t timeKind) {
    switch (timeKind) {
        case 2: return 60 * platform::ticksPerSecond;
        case 3: return secondsPerDay * platform::ticksPerSecond;
        default: return platform::ticksPerSecond;
    }
}

// The record of a recognised line; its time as listed.
FtpFileInfo fileInfoOf(const ListingReport& report, std::string_view line) {
    FtpFileInfo info;
    if (report.nameLength > 0)
        info.name = std::string(line.substr(static_cast<size_t>(report.name), static_cast<size_t>(report.nameLength)));
    bool folder = report.folder != 0;
    bool retrieval = report.retrieval != 0;
    info.type = folder == retrieval ? FtpFileType::unknown : folder ? FtpFileType::dir : FtpFileType::file;
    if (info.name == ".") info.type = FtpFileType::cdir;
    if (info.name == "..") info.type = FtpFileType::pdir;
    info.symlink = report.link != 0;
    if (report.sizeKind != 0 && report.size >= 0) info.size = static_cast<uint64_t>(report.size);
    if (report.timeKind != 0) {
        info.modify = platform::unixEpochTicks + report.time * platform::ticksPerSecond;
        info.modifyPrecision = precisionOf(report.timeKind);
    }
    return info;
}

}  // namespace

FtpFileInfo parseLine(std::string_view line, const std::string& systemType) {
    ListingReport report;
    if (line.empty() || !parseListing(report, line.data(), line.size())) return {};
    FtpFileInfo info = fileInfoOf(report, line);
    info.backslashSeparates = report.style == msDosStyle || systemType.find("Windows") != std::string::npos;
    // A time is given only when the server's system type is known (login fills it).
    if (systemType.empty()) info.modify = unknownTime;
    return info;
}

FtpFileInfo parseMachineLine(std::string_view line) {
    ListingReport report;
    if (line.empty() || !parseMachineListing(report, line.data(), line.size())) return {};
    FtpFileInfo info = fileInfoOf(report, line);
    info.mayBeLink = info.type == FtpFileType::dir;
    return info;
}

}  // namespace dorvan
