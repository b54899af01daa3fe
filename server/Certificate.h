#pragma once

#include <string>

namespace tarn::server {

// Makes sure certPath and keyPath hold a certificate and its key; on first
// start writes a self-signed RSA-2048 certificate for commonName (also as
// subject alternative name when it is an IPv4 address), valid ten years.
bool EnsureSelfSignedCertificate(const std::string& certPath, const std::string& keyPath,
                                 const std::string& commonName, std::string* error);

} // namespace tarn::server
