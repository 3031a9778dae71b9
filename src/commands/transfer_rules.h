#pragma once
// What a command's file transfers go by besides their own options: the
// checksum check (the checksum setting) and one speed cap that all its
// sessions share (the ratelimit setting).
#include <memory>
#include <string_view>

#include "ftp/checksums.h"
#include "ftp/rate_limit.h"

namespace dorvan {

class FtpLib;

struct TransferRules {
    ChecksumMode checksum = ChecksumMode::never;
    std::shared_ptr<RateLimit> limit{};  // nullptr: no cap
};

// The rules the settings give a command; on the command's thread, once per command.
TransferRules transferRules();

// Sets `rules` on the session for its next transfers; `unchecked` leaves them unchecked.
void applyTransferRules(FtpLib& session, const TransferRules& rules, bool unchecked = false);

// At debug level 1 (`notes`), after a transfer of `shown` succeeded: which
// algorithm proved it, or why nothing did (`unchecked` given: that reason).
void noteChecksum(FtpLib& session, const TransferRules& rules, std::string_view shown, bool notes,
                  std::string_view unchecked = {});

}  // namespace dorvan
