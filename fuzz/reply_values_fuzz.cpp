// The values the session takes from single replies: PASV and EPSV data
// ports, SIZE, the size a transfer announces, the quoted PWD folder and the
// MDTM/SYST texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/ftp_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    if (auto passive = dorvan::parsePassiveReply(reply)) {
        if (dorvan::portCommand(*passive).size() > 32) std::abort();
    }
    if (auto port = dorvan::parseExtendedPassiveReply(reply); port && *port == 0) std::abort();
    (void)dorvan::parseSizeReply(reply);
    (void)dorvan::parseAnnouncedSize(reply);
    if (auto folder = dorvan::parseQuotedPath(reply); folder && folder->size() > size) std::abort();
    if (dorvan::replyText(reply).size() > size || dorvan::replyWord(reply).size() > size) std::abort();
    return 0;
}
