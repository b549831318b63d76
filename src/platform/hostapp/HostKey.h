// The host's private key and self-signed certificate: made on the first start and kept in
// one PEM file that only its owner may read.
#pragma once

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

struct TPKeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct TX509Free {
    void operator()(X509* p) const { X509_free(p); }
};

struct THostKey {
    std::unique_ptr<EVP_PKEY, TPKeyFree> pKey;
    std::unique_ptr<X509, TX509Free> pCertificate;
    std::string strFingerprint; // "SHA256:" + base64 of the certificate's digest
    bool bCreated = false;      // made by this call
};

// The default file: VantryConfigDir() + "/host-key.pem"; empty when no folder is known.
std::string DefaultHostKeyFile();

// Reads the key and certificate from strFile, or makes both (Ed25519, a certificate good for
// a hundred years) and writes them there when the file does not exist. Returns an error text
// naming the file and the cause, empty on success. A file that others may read is refused.
std::string LoadOrCreateHostKey(const std::string& strFile, THostKey& key);

// The form shown to users and kept in known_hosts: "SHA256:" + unpadded base64 of the SHA-256
// digest of the certificate's DER encoding.
std::string CertificateFingerprint(X509* pCertificate);
