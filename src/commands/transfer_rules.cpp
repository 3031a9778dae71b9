#include "commands/transfer_rules.h"

#include <string>

#include "ftp/ftp_lib.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {

TransferRules transferRules() {
    const Settings& s = settings();
    TransferRules rules;
    if (s.checksum == "auto") rules.checksum = ChecksumMode::whereOffered;
    if (s.checksum == "true") rules.checksum = ChecksumMode::required;
    if (s.ratelimit > 0) rules.limit = std::make_shared<RateLimit>(uint64_t{s.ratelimit} * 1024);
    return rules;
}

void applyTransferRules(FtpLib& session, const TransferRules& rules, bool unchecked) {
    session.setTransferRules(unchecked ? ChecksumMode::never : rules.checksum, rules.limit);
}

void noteChecksum(FtpLib& session, const TransferRules& rules, std::string_view shown, bool notes,
                  std::string_view unchecked) {
    if (!notes || rules.checksum == ChecksumMode::never) return;
    const TransferChecksum checked = session.lastChecksum();
    if (!unchecked.empty())
        printMessage(Level::Info, format("Checksum not compared, {}: {}", unchecked, shown));
    else if (!checked.algorithm.empty())
        printMessage(Level::Info, format("Checksum {} equal: {}", checked.algorithm, shown));
    else if (!checked.skipped.empty())
        printMessage(Level::Info, format("Checksum not compared, {}: {}", checked.skipped, shown));
}

}  // namespace dorvan
