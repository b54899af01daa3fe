#include "HTTPmodule.h"

#include "AccountService.h"
#include "common/ErrorLog.h"
#include "common/Version.h"

#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkRequest>
#include <QUrl>

namespace tarn {

THttpsModule::THttpsModule(QObject* parent)
    : QObject(parent), IdHTTP1(new QNetworkAccessManager(this)), timeoutMs_(kAccountTimeoutMs) {
    setObjectName(QStringLiteral("HttpsModule"));
    IdHTTP1->setObjectName(QStringLiteral("IdHTTP1"));
    IdHTTP1->setCookieJar(new QNetworkCookieJar(IdHTTP1));
}

QByteArray THttpsModule::UserAgent() {
    return QByteArray("TARNClient Version ") + kClientVersion;
}

QByteArray THttpsModule::AcceptHeader() {
    return "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
}

bool THttpsModule::HTTPsPost(const QString& URL, const QStringList& PostVars, QString& Response) {
    Response.clear();
    PostData = PostVars;
    QNetworkRequest request{QUrl(URL)};
    PrepareAccountRequest(request, UserAgent(), timeoutMs_);
    request.setRawHeader("Accept", AcceptHeader());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    const THttpResult r = WaitForReply(IdHTTP1->post(request, EncodeUrlEncodedForm(PostData)),
                                       timeoutMs_, kAccountBodyCap);
    PostData.clear();

    if (!r.answered()) {
        ErrorLog().append(QStringLiteral("ENetworkError ") + r.Error.Text);
        return false;
    }
    if (r.Status >= 400) {
        ErrorLog().append(QStringLiteral("EHttpProtocolError HTTP ") + QString::number(r.Status));
        return false;
    }
    Response = BodyText(r.Body);
    return true;
}

} // namespace tarn
