#include "AccountService.h"

#include "LobbyCipher.h"
#include "common/Version.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringDecoder>
#include <QTimer>

namespace tarn {

// ---- Forms ----

QString JoinConsoleList(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

TFormFields BuildLoginForm(const TLoginFormInput& in) {
    TFormFields f = {
        {QStringLiteral("account"), in.Account},
        {QStringLiteral("version"), QString::fromLatin1(kClientVersion)},
        {QStringLiteral("platformVer"), QStringLiteral(" ")},
        {QStringLiteral("uport"), QString()},
        {QStringLiteral("ConfigParms"), JoinConsoleList(in.ConsoleMacList)},
        {QStringLiteral("AuthCode"), in.AuthCode},
    };
    switch (in.Kind) {
    case TLoginFormKind::SavedHash:
        f.append({QStringLiteral("Password"), in.SavedHash});
        f.append({QStringLiteral("registry"), QStringLiteral("false")});
        break;
    case TLoginFormKind::Registering:
        f.append({QStringLiteral("Password"), PasswordHash(in.Password)});
        f.append({QStringLiteral("Password2"), PasswordHash(in.PasswordAgain)});
        f.append({QStringLiteral("email"), in.Email});
        f.append({QStringLiteral("email2"), in.EmailAgain});
        f.append({QStringLiteral("registry"), QStringLiteral("true")});
        break;
    case TLoginFormKind::Plain:
        f.append({QStringLiteral("Password"), PasswordHash(in.Password)});
        f.append({QStringLiteral("registry"), QStringLiteral("false")});
        break;
    }
    return f;
}

namespace {

QByteArray headerSafeName(const QString& name) {
    QByteArray out;
    for (char c : name.toUtf8()) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

} // namespace

QByteArray EncodeMultipartForm(const TFormFields& fields, const QByteArray& boundary) {
    QByteArray body;
    for (const TFormField& f : fields) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + headerSafeName(f.Name) + "\"\r\n";
        body += "\r\n";
        body += f.Value.toUtf8();
        body += "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    return body;
}

QByteArray MultipartContentType(const QByteArray& boundary) {
    return "multipart/form-data; boundary=" + boundary;
}

QByteArray EncodeUrlEncodedForm(const QStringList& variables) {
    QByteArrayList parts;
    for (const QString& v : variables) {
        const qsizetype eq = v.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? v : v.left(eq);
        const QString value = eq < 0 ? QString() : v.mid(eq + 1);
        parts.append(QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value));
    }
    return parts.join('&');
}

// ---- The login reply ----

QString FilterOutcomeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7F)
            out += c;
    }
    return out;
}

namespace {

QString fieldName(const QString& field) {
    const qsizetype colon = field.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : field.left(colon);
}

QString fieldValue(const QString& field) {
    const qsizetype colon = field.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : field.mid(colon + 1);
}

} // namespace

QString TLoginReply::value(int position) const {
    if (position < 0 || position >= Fields.size())
        return QString();
    return fieldValue(Fields.at(position));
}

TLoginReply ReadLoginReply(const QString& body) {
    TLoginReply r;
    r.Fields = body.split(QLatin1Char(';'));
    for (const QString& f : r.Fields) {
        if (fieldName(f) == QLatin1String("RC")) {
            r.HasRC = true;
            break;
        }
    }
    if (r.HasRC) {
        r.Outcome = FilterOutcomeText(r.value(0));
    } else {
        QString text = body;
        text.replace(QLatin1Char(';'), QLatin1Char('\n'));
        r.Outcome = text.trimmed();
    }
    return r;
}

QString BodyText(const QByteArray& body) {
    return QString::fromUtf8(body);
}

// ---- Transport ----

TTransportError TransportError(QNetworkReply::NetworkError code, const QString& message) {
    TTransportError e;
    switch (code) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
        e.CannotConnect = true;
        e.Text = QStringLiteral("Error sending data: (12029) A connection with the server could "
                                "not be established. ") +
                 message;
        break;
    default:
        e.Text = QStringLiteral("Error sending data: ") + message;
        break;
    }
    return e;
}

namespace {

QString tooLargeText() {
    return QStringLiteral("Error receiving data: the reply is larger than %1 bytes")
        .arg(kAccountBodyCap);
}

} // namespace

TAccountRequest::TAccountRequest(QNetworkReply* reply, qsizetype bodyCap, QObject* parent)
    : QObject(parent), reply_(reply), bodyCap_(bodyCap) {
    reply->setParent(this);
    connect(reply, &QNetworkReply::readyRead, this, &TAccountRequest::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &TAccountRequest::onFinished);
    // Certificates are accepted whatever they say (the TLS configuration
    // already verifies nothing; this covers errors reported anyway).
    connect(reply, &QNetworkReply::sslErrors, reply,
            [reply](const QList<QSslError>&) { reply->ignoreSslErrors(); });
}

TAccountRequest::~TAccountRequest() {
    done_ = true;
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void TAccountRequest::abort() {
    if (done_)
        return;
    done_ = true;
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
    deleteLater();
}

void TAccountRequest::onReadyRead() {
    if (!reply_ || tooLarge_)
        return;
    const QByteArray chunk = reply_->read(bodyCap_ + 1 - body_.size());
    body_ += chunk;
    if (body_.size() > bodyCap_) {
        tooLarge_ = true;
        body_.clear();
        reply_->abort(); // finished() follows
    }
}

void TAccountRequest::onFinished() {
    if (done_ || !reply_)
        return;
    onReadyRead();
    done_ = true;
    THttpResult r;
    const QNetworkReply::NetworkError error = reply_->error();
    // Codes below 200 are failures of the connection or the proxy; higher
    // ones are HTTP statuses that came with a reply, which counts as an
    // answer whatever the status.
    const bool transportFailed = error != QNetworkReply::NoError && error < 200;
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (tooLarge_) {
        r.Error.Text = tooLargeText();
    } else if (!transportFailed && status.isValid() && status.toInt() > 0) {
        r.Status = status.toInt();
        r.Body = body_;
    } else {
        r.Error = TransportError(error, reply_->errorString());
    }
    emit finished(r);
    deleteLater();
}

void PrepareAccountRequest(QNetworkRequest& request, const QByteArray& userAgent, int timeoutMs) {
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(timeoutMs);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    request.setSslConfiguration(tls);
}

THttpResult WaitForReply(QNetworkReply* reply, int timeoutMs, qsizetype bodyCap) {
    QEventLoop loop;
    THttpResult result;
    bool finished = false;
    auto* req = new TAccountRequest(reply, bodyCap);
    QObject::connect(req, &TAccountRequest::finished, &loop, [&](const THttpResult& r) {
        result = r;
        finished = true;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { loop.quit(); });
    timer.start(timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        req->abort();
        result.Error.Text = QStringLiteral("Error receiving data: time-out");
    }
    return result;
}

TAccountHttpClient::TAccountHttpClient(QObject* parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), userAgent_(DefaultUserAgent()) {
    setObjectName(QStringLiteral("NetHTTPClient1"));
    manager_->setCookieJar(new QNetworkCookieJar(manager_));
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    manager_->setTransferTimeout(kAccountTimeoutMs);
}

TAccountHttpClient::~TAccountHttpClient() {
    for (TAccountRequest* r : findChildren<TAccountRequest*>(Qt::FindDirectChildrenOnly))
        delete r;
}

QByteArray TAccountHttpClient::DefaultUserAgent() {
    return QByteArray("WIN32 TARNClient Version ") + kClientVersion;
}

QNetworkRequest TAccountHttpClient::request(const QUrl& url) const {
    QNetworkRequest r(url);
    PrepareAccountRequest(r, userAgent_, timeoutMs_);
    return r;
}

TAccountRequest* TAccountHttpClient::PostForm(const QUrl& url, const TFormFields& fields) {
    const QByteArray boundary =
        "----TARNFormBoundary" + QByteArray::number(qHash(url.toString()) ^ quintptr(this), 16);
    QNetworkRequest r = request(url);
    r.setHeader(QNetworkRequest::ContentTypeHeader, MultipartContentType(boundary));
    QNetworkReply* reply = manager_->post(r, EncodeMultipartForm(fields, boundary));
    return new TAccountRequest(reply, bodyCap_, this);
}

THttpResult TAccountHttpClient::GetSync(const QUrl& url) {
    return WaitForReply(manager_->get(request(url)), timeoutMs_, bodyCap_);
}

TAccountRequest* PostAccountForm(TAccountHttpClient& client, const QString& baseUrl,
                                 const QString& path, const TFormFields& fields,
                                 TFormPostDone done) {
    TAccountRequest* req = client.PostForm(QUrl(baseUrl + path), fields);
    QObject::connect(req, &TAccountRequest::finished, req,
                     [done = std::move(done)](const THttpResult& r) {
                         if (!done)
                             return;
                         if (r.answered())
                             done(BodyText(r.Body), false);
                         else
                             done(r.Error.Text, true);
                     });
    return req;
}

QString FallbackWebBaseURL(const QString& address) {
    return QStringLiteral("https://") + address + QStringLiteral(":94");
}

QStringList ParseNameLines(const QString& body) {
    QStringList names;
    for (QString line : body.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            names.append(line);
    }
    return names;
}

} // namespace tarn
