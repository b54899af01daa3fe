#pragma once
// The service's server addresses as dotted IPv4 texts, chosen at login and
// changed by lobby commands. Written on the main thread only; the LAN bridge
// copies what it needs into its console table on the main thread.

#include <QString>

namespace tarn {

struct TServerAddresses {
    QString LobbyServerIP;  // destination of every lobby datagram
    QString S2ServerIP;     // SOCOM 2 game relay
    QString CaServerIP;     // SOCOM 3 / Combined Assault game relay
    QString PspServerIP;    // PSP relay
    QString BackUpServerIP; // backup address of the account service
};

inline TServerAddresses& ServerAddresses() {
    static TServerAddresses addresses;
    return addresses;
}

} // namespace tarn
