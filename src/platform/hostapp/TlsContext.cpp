#include "TlsContext.h"

#include "HostKey.h"

#include <openssl/err.h>

namespace {
// AES-GCM first: the processors this runs on encrypt it in hardware.
constexpr char kSuites[] = "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256";
// With read-ahead, one read from the socket takes several records.
constexpr std::size_t kReadBuffer = 64 * 1024;

TSslContext NewContext(const SSL_METHOD* pMethod)
{
    TSslContext pContext(SSL_CTX_new(pMethod));
    if (!pContext)
        return nullptr;
    SSL_CTX* p = pContext.get();
    const bool bSet = SSL_CTX_set_min_proto_version(p, TLS1_3_VERSION) == 1 &&
                      SSL_CTX_set_ciphersuites(p, kSuites) == 1;
    if (!bSet)
        return nullptr;
    // Writes resume from the connection's output buffer, which may move and grow in between.
    SSL_CTX_set_mode(p, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_read_ahead(p, 1);
    // The protocol frames its own messages: a peer that goes without a close_notify has ended.
    SSL_CTX_set_options(p, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_default_read_buffer_len(p, kReadBuffer);
    return pContext;
}
} // namespace

TSslContext NewServerContext(const THostKey& key)
{
    TSslContext pContext = NewContext(TLS_server_method());
    if (!pContext)
        return nullptr;
    SSL_CTX* p = pContext.get();
    // Every connection runs a full handshake: no tickets to keep or to leak.
    SSL_CTX_set_options(p, SSL_OP_NO_TICKET);
    SSL_CTX_set_num_tickets(p, 0);
    if (SSL_CTX_use_certificate(p, key.pCertificate.get()) != 1 || SSL_CTX_use_PrivateKey(p, key.pKey.get()) != 1)
        return nullptr;
    return pContext;
}

TSslContext NewClientContext()
{
    TSslContext pContext = NewContext(TLS_client_method());
    if (pContext)
        SSL_CTX_set_verify(pContext.get(), SSL_VERIFY_NONE, nullptr);
    return pContext;
}

Handshake::TBytes ExportBinding(SSL* pTls)
{
    Handshake::TBytes binding(Handshake::kBindingSize);
    if (SSL_export_keying_material(pTls, binding.data(), binding.size(), Handshake::kBindingLabel,
                                   sizeof Handshake::kBindingLabel - 1, nullptr, 0, 0) != 1)
        return {};
    return binding;
}

std::string PeerFingerprint(SSL* pTls)
{
    X509* pCertificate = SSL_get1_peer_certificate(pTls);
    if (!pCertificate)
        return {};
    std::string strFingerprint = CertificateFingerprint(pCertificate);
    X509_free(pCertificate);
    return strFingerprint;
}

std::string TlsErrorText(const std::string& strFallback)
{
    const unsigned long nError = ERR_get_error();
    ERR_clear_error();
    if (!nError)
        return strFallback;
    const char* pszReason = ERR_reason_error_string(nError);
    return pszReason ? std::string(pszReason) : strFallback;
}
