#pragma once
// What a session is opened with. Taken from an open session and never
// changed afterwards, so that a session opened from it (beside that one, or
// again after a lost connection) works where that one works.
#include <cstdint>
#include <string>

#include "platform/tls.h"

namespace dorvan {

enum class TlsMode {
    none,         // plain FTP
    explicitTls,  // AUTH TLS after the greeting; PBSZ 0 and PROT P after the login
    implicitTls,  // TLS from the first byte; PBSZ 0 and PROT P after the login
};

struct SessionRecipe {
    std::string host{};
    int port = 21;
    std::string user{};
    std::string password{};
    TlsMode tls = TlsMode::none;
    platform::TlsTrust trust{};
    int timeout = 60;  // seconds, as FtpLib::setTimeout takes them
    bool passive = true;
    char type = 'I';        // the transfer type of the work done with it
    uint32_t encoding = 0;  // the code page of names on the server; 65001 is UTF-8
    std::string folder{};   // the working folder as the server spells it; empty when unknown
};

}  // namespace dorvan
