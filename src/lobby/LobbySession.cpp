#include "lobby/LobbySession.h"

#include "lobby/LobbyOperations.h"

namespace tarn {

TLobbySession::TLobbySession(ILobbyOperations& ops, QObject* parent) : QObject(parent), ops_(ops) {
    Timer1.setInterval(kKeepAliveIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &TLobbySession::Timer1Timer);
    NgtServer.setReceiver([this](const QByteArray& data, const QString& peer, quint16 port) {
        NgtServerUDPRead(data, peer, port);
    });
}

TLobbySession::~TLobbySession() = default;

void TLobbySession::DataToSend(const QString&) {}
void TLobbySession::SendRaw(const QString&, quint16, const QByteArray&) {}
void TLobbySession::NgtServerUDPRead(const QByteArray&, const QString&, quint16) {}
bool TLobbySession::LoggedIn() {
    return false;
}
void TLobbySession::DNSLookUP(QString&) {}
void TLobbySession::Timer1Timer() {}
void TLobbySession::logout() {}
void TLobbySession::dispatch(const QString&, const QByteArray&, bool) {}
void TLobbySession::sendBestEffort(const QString&) {}

} // namespace tarn
