#pragma once
// A scripted HTTPS peer for the account-service tests: a TLS server on a
// loopback address with a self-signed certificate made at start, which
// records every request and answers each with what the test's handler
// returns. Main thread; it runs in the test's event loop.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSslServer;
class QSslSocket;

namespace tarn::test {

struct PeerRequest {
    QByteArray method;
    QByteArray target;                    // path and query
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    // The parts of a multipart/form-data body: (name, value) in order.
    QList<std::pair<QString, QString>> formFields() const;
};

struct PeerReply {
    int status = 200;
    QByteArray body;
    QByteArray extraHeaders; // "Name: value\r\n" lines
    bool closeWithoutReply = false;
    bool hold = false; // never answer
};

class AccountTestPeer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<PeerReply(const PeerRequest&)>;

    AccountTestPeer();
    ~AccountTestPeer() override;

    // Listens on the address (port 0 = any free port).
    bool listen(const QHostAddress& address, quint16 port = 0);
    quint16 port() const;
    QString baseUrl() const; // "https://address:port"

    void setHandler(Handler handler) { handler_ = std::move(handler); }
    // Answers every request with this body.
    void replyWith(const QByteArray& body, int status = 200);

    const QList<PeerRequest>& requests() const { return requests_; }

private:
    void onConnection();
    void onData(QSslSocket* socket);

    std::unique_ptr<QSslServer> server_;
    QHostAddress address_;
    Handler handler_;
    QList<PeerRequest> requests_;
    QMap<QSslSocket*, QByteArray> buffers_;
};

// A loopback address no one listens on at that port: connects are refused.
quint16 UnusedLoopbackPort(const QHostAddress& address);

} // namespace tarn::test
