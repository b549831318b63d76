// TLS 1.3 for the host application's TCP connections: the contexts of both ends and what the
// handshake takes from a session.
#pragma once

#include "Handshake.h"

#include <memory>
#include <string>

#include <openssl/ssl.h>

struct THostKey;

struct TSslCtxFree {
    void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
using TSslContext = std::unique_ptr<SSL_CTX, TSslCtxFree>;

// The host's end, with its key and certificate; null when OpenSSL refuses (see TlsErrorText).
TSslContext NewServerContext(const THostKey& key);
// The guest's end. It checks no certificate chain: the guest pins the host's certificate by its
// fingerprint (KnownHosts.h).
TSslContext NewClientContext();

// Keying material exported from an established session, for the password proof.
Handshake::TBytes ExportBinding(SSL* pTls);
// The fingerprint of the peer's certificate; empty when it sent none.
std::string PeerFingerprint(SSL* pTls);
// The oldest OpenSSL error of this thread as text (the queue is emptied), or strFallback.
std::string TlsErrorText(const std::string& strFallback = "TLS failed");
