#include <openssl/err.h>
#include <openssl/ssl.h>
#include <cerrno>

#include "platform/tls_os.h"

// OpenSSL writes to the socket with write(): a peer that has gone would raise
// SIGPIPE, which the program ignores process-wide (platform/signals).

namespace dorvan::platform::os {

// OpenSSL's default locations: the distribution's certificate bundle and folder.
void addSystemAuthorities(ssl_ctx_st* context) {
    if (SSL_CTX_set_default_verify_paths(context) != 1) ERR_clear_error();
}

int lastSocketError() { return errno; }

void clearSocketError() { errno = 0; }

}  // namespace dorvan::platform::os
