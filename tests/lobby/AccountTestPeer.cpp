#include "AccountTestPeer.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace tarn::test {
namespace {

struct Credentials {
    QSslCertificate certificate;
    QSslKey key;
};

QByteArray bioText(BIO* bio) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return QByteArray(data, static_cast<qsizetype>(n));
}

// A fresh EC P-256 key and a self-signed certificate for "localhost".
Credentials makeCredentials() {
    Credentials c;
    EVP_PKEY* pkey = EVP_EC_gen("P-256");
    X509* x509 = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    X509_gmtime_adj(X509_getm_notBefore(x509), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x509), 86400);
    X509_set_pubkey(x509, pkey);
    X509_NAME* name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(x509, name);
    X509_sign(x509, pkey, EVP_sha256());

    BIO* certBio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(certBio, x509);
    BIO* keyBio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(keyBio, pkey, nullptr, nullptr, 0, nullptr, nullptr);
    c.certificate = QSslCertificate(bioText(certBio), QSsl::Pem);
    c.key = QSslKey(bioText(keyBio), QSsl::Ec, QSsl::Pem);
    BIO_free(certBio);
    BIO_free(keyBio);
    X509_free(x509);
    EVP_PKEY_free(pkey);
    return c;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

QList<std::pair<QString, QString>> PeerRequest::formFields() const {
    QList<std::pair<QString, QString>> out;
    const QByteArray type = headers.value("content-type");
    const qsizetype at = type.indexOf("boundary=");
    if (at < 0)
        return out;
    const QByteArray delimiter = "--" + type.mid(at + 9);
    qsizetype pos = body.indexOf(delimiter);
    while (pos >= 0) {
        pos += delimiter.size();
        if (body.mid(pos, 2) == "--")
            break;
        pos += 2; // CR LF
        const qsizetype headEnd = body.indexOf("\r\n\r\n", pos);
        const qsizetype next = body.indexOf("\r\n" + delimiter, headEnd);
        if (headEnd < 0 || next < 0)
            break;
        const QByteArray head = body.mid(pos, headEnd - pos);
        const qsizetype n = head.indexOf("name=\"");
        const qsizetype nEnd = head.indexOf('"', n + 6);
        out.append({QString::fromUtf8(head.mid(n + 6, nEnd - n - 6)),
                    QString::fromUtf8(body.mid(headEnd + 4, next - headEnd - 4))});
        pos = next + 2;
    }
    return out;
}

AccountTestPeer::AccountTestPeer() : server_(std::make_unique<QSslServer>()) {
    static const Credentials credentials = makeCredentials();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(credentials.certificate);
    tls.setPrivateKey(credentials.key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    server_->setSslConfiguration(tls);
    connect(server_.get(), &QTcpServer::pendingConnectionAvailable, this,
            &AccountTestPeer::onConnection);
    replyWith("RC:SUSS");
}

AccountTestPeer::~AccountTestPeer() {
    // The sockets are the server's children; they must not call back into
    // this half-destroyed peer when they close.
    for (QSslSocket* socket : server_->findChildren<QSslSocket*>())
        socket->disconnect(this);
    server_.reset();
}

bool AccountTestPeer::listen(const QHostAddress& address, quint16 port) {
    address_ = address;
    return server_->listen(address, port);
}

quint16 AccountTestPeer::port() const {
    return server_->serverPort();
}

QString AccountTestPeer::baseUrl() const {
    return QStringLiteral("https://%1:%2").arg(address_.toString()).arg(port());
}

void AccountTestPeer::replyWith(const QByteArray& body, int status) {
    setHandler([body, status](const PeerRequest&) {
        PeerReply r;
        r.status = status;
        r.body = body;
        return r;
    });
}

void AccountTestPeer::onConnection() {
    while (server_->hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(server_->nextPendingConnection());
        if (socket == nullptr)
            continue;
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            buffers_.remove(socket);
            socket->deleteLater();
        });
    }
}

void AccountTestPeer::onData(QSslSocket* socket) {
    QByteArray& buf = buffers_[socket];
    buf += socket->readAll();
    for (;;) {
        const qsizetype headEnd = buf.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        PeerRequest req;
        const QList<QByteArray> lines = buf.left(headEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        req.method = start.value(0);
        req.target = start.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                req.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = req.headers.value("content-length", "0").toLongLong();
        if (buf.size() < headEnd + 4 + length)
            return;
        req.body = buf.mid(headEnd + 4, length);
        buf.remove(0, headEnd + 4 + length);
        requests_.append(req);

        const PeerReply reply = handler_ ? handler_(req) : PeerReply{};
        if (reply.hold)
            return;
        if (reply.closeWithoutReply) {
            socket->disconnectFromHost();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                         reasonPhrase(reply.status) + "\r\n";
        out += "Content-Type: text/html; charset=UTF-8\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += reply.extraHeaders;
        out += "\r\n";
        out += reply.body;
        socket->write(out);
    }
}

quint16 UnusedLoopbackPort(const QHostAddress& address) {
    QTcpServer probe;
    probe.listen(address, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace tarn::test
