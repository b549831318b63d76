#include "HostKey.h"

#include "ConfigPaths.h"
#include "TlsContext.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace {
struct TFileClose {
    void operator()(std::FILE* p) const { std::fclose(p); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileClose>;

std::string MakeKey(THostKey& key)
{
    key.pKey.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    key.pCertificate.reset(X509_new());
    X509* pCert = key.pCertificate.get();
    if (!key.pKey || !pCert)
        return "cannot make a key: " + TlsErrorText();
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F; // a positive serial number
    BIGNUM* pSerial = BN_bin2bn(serial, sizeof serial, nullptr);
    char szHost[256] = "localhost";
    ::gethostname(szHost, sizeof szHost - 1);
    const std::string strName = std::string("vantry host ") + szHost;
    X509_NAME* pName = X509_get_subject_name(pCert);
    const bool bMade =
        X509_set_version(pCert, 2) == 1 && pSerial && BN_to_ASN1_INTEGER(pSerial, X509_get_serialNumber(pCert)) &&
        X509_time_adj_ex(X509_getm_notBefore(pCert), -1, 0, nullptr) &&
        X509_time_adj_ex(X509_getm_notAfter(pCert), 36500, 0, nullptr) &&
        X509_NAME_add_entry_by_txt(pName, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(strName.c_str()), -1, -1, 0) == 1 &&
        X509_set_issuer_name(pCert, pName) == 1 && X509_set_pubkey(pCert, key.pKey.get()) == 1 &&
        X509_sign(pCert, key.pKey.get(), nullptr) > 0; // Ed25519 takes no separate digest
    BN_free(pSerial);
    return bMade ? std::string() : "cannot make a certificate: " + TlsErrorText();
}

std::string WriteKey(const std::string& strFile, const THostKey& key)
{
    const std::filesystem::path path(strFile);
    if (path.has_parent_path())
        if (std::string strError = MakePrivateDir(path.parent_path().string()); !strError.empty())
            return strError;
    // Written beside the file and renamed into place: a reader never sees half a key.
    std::string strTemp = strFile + ".XXXXXX";
    const int nFd = ::mkstemp(strTemp.data()); // mode 0600
    if (nFd < 0)
        return "cannot create " + strFile + ": " + std::strerror(errno);
    TFilePtr pOut(::fdopen(nFd, "w"));
    const bool bWritten = pOut && PEM_write_PrivateKey(pOut.get(), key.pKey.get(), nullptr, nullptr, 0, nullptr,
                                                       nullptr) == 1 &&
                          PEM_write_X509(pOut.get(), key.pCertificate.get()) == 1 && std::fflush(pOut.get()) == 0 &&
                          ::fsync(nFd) == 0;
    const int nError = errno;
    pOut.reset();
    if (!bWritten || std::rename(strTemp.c_str(), strFile.c_str()) != 0) {
        ::unlink(strTemp.c_str());
        return "cannot write " + strFile + ": " + std::strerror(bWritten ? errno : nError);
    }
    return {};
}
} // namespace

std::string DefaultHostKeyFile()
{
    const std::string strDir = VantryConfigDir();
    return strDir.empty() ? std::string() : strDir + "/host-key.pem";
}

std::string CertificateFingerprint(X509* pCertificate)
{
    unsigned char* pDer = nullptr;
    const int nLength = i2d_X509(pCertificate, &pDer);
    if (nLength <= 0)
        return {};
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(pDer, static_cast<std::size_t>(nLength), digest);
    OPENSSL_free(pDer);
    unsigned char encoded[64] = {};
    const int nEncoded = EVP_EncodeBlock(encoded, digest, sizeof digest);
    std::string strBase64(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(nEncoded));
    while (!strBase64.empty() && strBase64.back() == '=')
        strBase64.pop_back();
    return "SHA256:" + strBase64;
}

std::string LoadOrCreateHostKey(const std::string& strFile, THostKey& key)
{
    key = THostKey{};
    struct stat st {};
    if (::stat(strFile.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return "cannot read the host key " + strFile + ": " + std::strerror(errno);
        if (std::string strError = MakeKey(key); !strError.empty())
            return strError;
        if (std::string strError = WriteKey(strFile, key); !strError.empty())
            return strError;
        key.bCreated = true;
    } else {
        if (st.st_mode & (S_IRWXG | S_IRWXO))
            return "the host key " + strFile + " may be read by others; make it private with chmod 600";
        TFilePtr pIn(std::fopen(strFile.c_str(), "r"));
        if (!pIn)
            return "cannot read the host key " + strFile + ": " + std::strerror(errno);
        key.pKey.reset(PEM_read_PrivateKey(pIn.get(), nullptr, nullptr, nullptr));
        key.pCertificate.reset(key.pKey ? PEM_read_X509(pIn.get(), nullptr, nullptr, nullptr) : nullptr);
        if (!key.pKey || !key.pCertificate)
            return "the host key " + strFile + " does not hold a private key followed by its certificate";
        if (X509_check_private_key(key.pCertificate.get(), key.pKey.get()) != 1)
            return "the certificate in " + strFile + " does not belong to its key";
    }
    key.strFingerprint = CertificateFingerprint(key.pCertificate.get());
    return {};
}
