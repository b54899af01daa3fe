#pragma once
// TLogin: the accepted login reply of the account service, kept for the
// session. The login code fills it; the lobby channel reads the cipher pass
// phrase, the session token and the server addresses from it.

#include <QString>

namespace tarn {

struct TLogin {
    QString ResponseCode; // "SUSS" for an accepted login
    QString Ssid;         // session token sent in the hello
    QString Key;          // pass phrase of the lobby cipher key
    QString Email;
    QString EmailSettings; // mail flags
    QString NgtIp;         // lobby server address (used when a valid IPv4)
    QString S2Ip;          // SOCOM 2 relay
    QString CaIp;          // SOCOM 3 / Combined Assault relay
    QString BackUpIp;      // backup address of the account service
    bool NewCap = false;
    QString response; // the whole reply text
};

} // namespace tarn
