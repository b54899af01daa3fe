#include "Certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace tarn::server {

namespace {

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && st.st_size > 0;
}

} // namespace

bool EnsureSelfSignedCertificate(const std::string& certPath, const std::string& keyPath,
                                 const std::string& commonName, std::string* error) {
    if (Exists(certPath) && Exists(keyPath))
        return true;
    auto fail = [&](const char* what) {
        if (error)
            *error = what;
        return false;
    };
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(2048), EVP_PKEY_free);
    if (!key)
        return fail("key generation failed");
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), X509_free);
    if (!cert)
        return fail("certificate allocation failed");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("TARN private server"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    const std::string san = "IP:" + commonName;
    if (X509_EXTENSION* ext =
            X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, san.c_str())) {
        X509_add_ext(cert.get(), ext, -1);
        X509_EXTENSION_free(ext);
    }
    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return fail("certificate signing failed");

    const std::string keyTmp = keyPath + ".tmp", certTmp = certPath + ".tmp";
    FILE* kf = std::fopen(keyTmp.c_str(), "wb");
    if (!kf)
        return fail("cannot write the key file");
    ::chmod(keyTmp.c_str(), 0600);
    const bool kOk = PEM_write_PrivateKey(kf, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    const bool kClosed = std::fclose(kf) == 0;
    FILE* cf = std::fopen(certTmp.c_str(), "wb");
    if (!cf)
        return fail("cannot write the certificate file");
    const bool cOk = PEM_write_X509(cf, cert.get());
    const bool cClosed = std::fclose(cf) == 0;
    if (!kOk || !kClosed || !cOk || !cClosed)
        return fail("writing the certificate failed");
    if (std::rename(keyTmp.c_str(), keyPath.c_str()) != 0 ||
        std::rename(certTmp.c_str(), certPath.c_str()) != 0)
        return fail("cannot move the certificate into place");
    return true;
}

} // namespace tarn::server
