#include "platform/tls_os.h"

#include <winsock2.h>

// Before OpenSSL's headers, which undo the macros of it that clash with their names.
#include <wincrypt.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace dorvan::platform::os {

// The certificates of the Windows "ROOT" store (the trusted root
// certification authorities), which OpenSSL cannot read by itself.
void addSystemAuthorities(ssl_ctx_st* context) {
    HCERTSTORE roots = CertOpenSystemStoreW(0, L"ROOT");
    if (!roots) return;
    X509_STORE* trusted = SSL_CTX_get_cert_store(context);
    for (const CERT_CONTEXT* found = nullptr; (found = CertEnumCertificatesInStore(roots, found));) {
        const unsigned char* der = found->pbCertEncoded;
        if (X509* certificate = d2i_X509(nullptr, &der, static_cast<long>(found->cbCertEncoded))) {
            X509_STORE_add_cert(trusted, certificate);
            X509_free(certificate);
        }
    }
    ERR_clear_error();  // certificates OpenSSL cannot read, or has already
    CertCloseStore(roots, 0);
}

int lastSocketError() { return WSAGetLastError(); }

void clearSocketError() { WSASetLastError(0); }

}  // namespace dorvan::platform::os
