#pragma once
// The service's endpoints in one table. The compiled defaults are the
// project's placeholders; an optional "Endpoints.txt" in the data folder
// overrides them for private servers and tests, one key=value a line:
//
//   WebHost=127.0.0.1:8443       account service host (WebBaseURL = https://WebHost)
//   MainWebHost=127.0.0.1:8080   plain-HTTP downloads
//   LobbyHost=lobby.tarn.test    name resolved for the lobby server
//   DnsServer=127.0.0.1[:5353]   DNS server asked for LobbyHost (port 53 by default)
//   SupportEmail=support@tarn.test
//   UsbMapsMd5=5C2F...           expected digest of the PCSX2 map pack archive
//
// Keys are case-sensitive; blanks around key and value are trimmed; unknown
// keys, empty values, lines without "=" and invalid DnsServer values are
// ignored. The file is read once at start-up (LoadEndpoints). Main thread.

#include <QString>

namespace tarn {

// Ports the protocol fixes.
inline constexpr quint16 kLobbyPort = 30022;
inline constexpr quint16 kRoomListPort = 3758;
inline constexpr quint16 kS2RelayPort = 30122;
inline constexpr quint16 kCaRelayPort = 30123;
inline constexpr quint16 kPspRelayPort = 30322;
inline constexpr quint16 ObjectServerPort = 40000;
inline constexpr quint16 kGameTcpPort1 = 50022;
inline constexpr quint16 kGameTcpPort2 = 50023;
inline constexpr char ObjectServerIP[] = "127.0.0.1";
// Port of the fallback account base "https://" + address + ":94".
inline constexpr char kFallbackWebPortSuffix[] = ":94";

struct TEndpoints {
    QString WebHost = QStringLiteral("www.tarn.test");
    QString MainWebHost = QStringLiteral("tarn.test");
    QString LobbyHost = QStringLiteral("lobby.tarn.test");
    QString DnsServer = QStringLiteral("8.8.8.8"); // address only
    quint16 DnsPort = 53;
    QString SupportEmail = QStringLiteral("support@tarn.test");
    QString UsbMapsMd5 = QStringLiteral("00000000000000000000000000000000");

    // "https://" + WebHost.
    QString webBaseUrl() const { return QStringLiteral("https://") + WebHost; }
    // "http://" + MainWebHost.
    QString mainWebUrl() const { return QStringLiteral("http://") + MainWebHost; }
    // "https://" + address + ":94".
    static QString fallbackWebUrl(const QString& address) {
        return QStringLiteral("https://") + address + QLatin1String(kFallbackWebPortSuffix);
    }
};

// The process-wide table.
TEndpoints& Endpoints();

// Applies the lines of an endpoint file to `table`.
void ApplyEndpointsText(TEndpoints& table, const QString& text);

// Reads "Endpoints.txt" from `dataFolder` into Endpoints() when it exists;
// true when a file was read. Missing or unreadable files leave the defaults.
bool LoadEndpoints(const QString& dataFolder);

} // namespace tarn
