#pragma once
// Checking a transferred file against the server's own checksum of it: which
// command a server answers (HASH with the strongest algorithm it lists, else
// the first of XSHA256, XSHA1, XMD5, XCRC and MD5 it takes, named in FEAT or
// learned by trying once per connection) and reading its reply.
//
// Not locked: it runs under its session's lock, as the parts it uses.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/control_session.h"
#include "platform/digest.h"

namespace dorvan {

enum class ChecksumMode {
    never,         // no checksum is asked for
    whereOffered,  // where the server offers one
    required,      // a transfer the server offers none for fails
};

// How a server gives a file's checksum.
struct ChecksumMethod {
    std::string_view verb;  // "HASH", "XSHA256", ...
    platform::DigestAlgorithm algorithm;
};

// What the last transfer's check found.
struct TransferChecksum {
    std::string algorithm{};  // "SHA-256"; empty when nothing was compared
    std::string digest{};     // of the data, lower case; equal to the server's when the transfer succeeded
    std::string skipped{};    // why nothing was compared, when so
};

// The digest in the reply to `method`'s command, in lower case (a CRC-32 with
// its leading zeros); nullopt when the reply holds none.
std::optional<std::string> digestInReply(const ChecksumMethod& method, std::string_view reply);

// The methods of one connection, learned as needed and forgotten at the next.
class ServerChecksums {
public:
    explicit ServerChecksums(ControlSession& control) : control_(control) {}

    // The method to use on this connection; nullopt when the server offers none.
    std::optional<ChecksumMethod> method();
    // The server's digest of `remotePath` in lower case; false with the reason noted.
    bool ask(const ChecksumMethod& method, const std::string& remotePath, std::string& digest);

private:
    std::optional<ChecksumMethod> choose();
    bool takes(std::string_view verb);  // the server takes the command (tried without a file)

    ControlSession& control_;
    uint64_t connection_ = 0;  // the connection the choice is for; 0 for none yet
    bool stale_ = true;        // choose again before the next use
    std::optional<ChecksumMethod> chosen_;
    std::vector<std::string_view> refused_;  // verbs the server did not know on this connection
};

}  // namespace dorvan
