#pragma once
// The system's part under tls.cpp, defined once per OS (tls_posix.cpp,
// tls_win.cpp): where the trusted authorities come from, and how OpenSSL's
// socket calls report their errors.
struct ssl_ctx_st;

namespace dorvan::platform::os {

// Adds the certificate authorities the system trusts to the context's store;
// adds nothing, and says nothing, when the system has none.
void addSystemAuthorities(ssl_ctx_st* context);

// The error code of the socket call that failed last on this thread (errno,
// or the Winsock code: os::errorText takes either), and its reset to 0.
int lastSocketError();
void clearSocketError();

}  // namespace dorvan::platform::os
