#pragma once
// THttpsModule: the second HTTPS client, for URL-encoded form posts that
// wait for their answer (the password reset). Its own cookie store, user
// agent "TARNClient Version 0.95f" and an accept header of a browser; every
// server certificate is accepted. Main thread only.

#include <QObject>
#include <QStringList>

class QNetworkAccessManager;

namespace tarn {

class THttpsModule : public QObject {
    Q_OBJECT
public:
    explicit THttpsModule(QObject* parent = nullptr);

    static QByteArray UserAgent();    // "TARNClient Version 0.95f"
    static QByteArray AcceptHeader(); // text/html,...;q=0.8

    // Posts the variables ("name=value" each, in order) as an
    // application/x-www-form-urlencoded body and waits for the answer
    // without running user input. Response is the body as text. Any error
    // (no connection, time-out, an HTTP status of 400 or more, a body over
    // the size cap) appends "class message" to ErrorLog, leaves Response
    // empty and returns false.
    bool HTTPsPost(const QString& URL, const QStringList& PostVars, QString& Response);

    // The scratch list of variables; emptied after every post.
    const QStringList& postData() const { return PostData; }

    int timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

private:
    QNetworkAccessManager* IdHTTP1;
    QStringList PostData;
    int timeoutMs_;
};

} // namespace tarn
