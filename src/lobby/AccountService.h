#pragma once
// The account service over HTTPS: the login and registration form, the
// reading of the login reply, the HTTP client every account-service request
// goes through (NetHTTPClient1) and the form post the other windows share.
//
// Everything here lives on the main thread. Qt's network stack runs the
// transfer on its own thread and reports on the main thread.

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkRequest;

namespace tarn {

// ---- Forms ----

// One named text part of a form.
struct TFormField {
    QString Name;
    QString Value;
    friend bool operator==(const TFormField&, const TFormField&) = default;
};
using TFormFields = QList<TFormField>;

// The three variants of the login form.
enum class TLoginFormKind {
    SavedHash,   // automatic login with the stored hash
    Registering, // the "Registry" tab
    Plain,       // an ordinary login with the typed password
};

struct TLoginFormInput {
    TLoginFormKind Kind = TLoginFormKind::Plain;
    QString Account;            // text of EditUsername
    QStringList ConsoleMacList; // the paired console list, one MAC text a line
    QString AuthCode;           // the machine identifier
    QString SavedHash;          // PasswordHash (SavedHash only)
    QString Password;           // typed texts; hashed here
    QString PasswordAgain;      // Registering only
    QString Email, EmailAgain;  // Registering only
};

// The login form's fields in the order the service reads them.
TFormFields BuildLoginForm(const TLoginFormInput& input);

// The console list as one text: lines joined by CR LF, the text ending with
// CR LF when the list is not empty.
QString JoinConsoleList(const QStringList& lines);

// multipart/form-data: one text part per field, in order, UTF-8 values.
// A quote, CR or LF in a field name is percent-encoded so that a name can
// never end its header line.
QByteArray EncodeMultipartForm(const TFormFields& fields, const QByteArray& boundary);
QByteArray MultipartContentType(const QByteArray& boundary);

// application/x-www-form-urlencoded: each "name=value" variable with its
// name and value percent-encoded (UTF-8), joined by "&". A variable without
// "=" is sent as a name with an empty value.
QByteArray EncodeUrlEncodedForm(const QStringList& variables);

// ---- The login reply ----

struct TLoginReply {
    // Every field of the body split at ";" (blanks kept).
    QStringList Fields;
    // True when some field is named "RC" (the text before its first ":").
    bool HasRC = false;
    // What the reply says: with "RC", the value of field 0 reduced to
    // U+0020..U+007F; without, the whole body with ";" turned into line
    // breaks, trimmed.
    QString Outcome;

    int count() const { return static_cast<int>(Fields.size()); }
    // The value of the field at a position: the text after its first ":";
    // empty for a missing field or a field without ":".
    QString value(int position) const;
};

TLoginReply ReadLoginReply(const QString& body);

// Removes every character outside U+0020..U+007F.
QString FilterOutcomeText(const QString& text);

// The reply bodies are taken as text in UTF-8 (invalid sequences become
// U+FFFD).
QString BodyText(const QByteArray& body);

// ---- Transport ----

// Replies whose body grows beyond this are cut off and count as a failure.
inline constexpr qsizetype kAccountBodyCap = 1024 * 1024;
// Connection and response time-outs of the account service's requests.
inline constexpr int kAccountTimeoutMs = 30000;

// What a failed transfer reports. CannotConnect stands for the platform's
// error 12029: Qt's "connection refused" and "host not found"; the text then
// carries "(12029)" as the original error texts did.
struct TTransportError {
    QString Text;
    bool CannotConnect = false;
};

TTransportError TransportError(QNetworkReply::NetworkError code, const QString& message);

// The outcome of a finished transfer: Status > 0 when the server answered
// with a status line (whatever the status); otherwise Error says why not.
struct THttpResult {
    int Status = 0;
    QByteArray Body;
    TTransportError Error;
    bool answered() const { return Status > 0; }
};

// One asynchronous request. It reports exactly once, through finished(),
// then deletes itself. abort() cancels it silently: nothing is reported.
class TAccountRequest : public QObject {
    Q_OBJECT
public:
    TAccountRequest(QNetworkReply* reply, qsizetype bodyCap, QObject* parent = nullptr);
    ~TAccountRequest() override;

    void abort();

signals:
    void finished(const tarn::THttpResult& result);

private:
    void onReadyRead();
    void onFinished();

    QPointer<QNetworkReply> reply_;
    qsizetype bodyCap_;
    QByteArray body_;
    bool tooLarge_ = false;
    bool done_ = false;
};

// Applies the account-service settings to a request: user agent, redirects
// followed (never from https to http), the transfer time-out and a TLS
// configuration that accepts every server certificate.
void PrepareAccountRequest(QNetworkRequest& request, const QByteArray& userAgent, int timeoutMs);

// Waits for a reply in a local event loop that runs no user input, at most
// timeoutMs, reading at most bodyCap bytes.
THttpResult WaitForReply(QNetworkReply* reply, int timeoutMs, qsizetype bodyCap);

// NetHTTPClient1: the client of every account-service request: time-outs of
// 30 s, redirects followed, cookies kept, every server certificate accepted.
class TAccountHttpClient : public QObject {
    Q_OBJECT
public:
    explicit TAccountHttpClient(QObject* parent = nullptr);
    // Ends the requests still under way (silently) before the manager goes.
    ~TAccountHttpClient() override;

    static QByteArray DefaultUserAgent(); // "WIN32 TARNClient Version 0.95f"

    QNetworkAccessManager* manager() const { return manager_; }
    QByteArray userAgent() const { return userAgent_; }
    void setUserAgent(const QByteArray& agent) { userAgent_ = agent; }
    int timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    qsizetype bodyCap() const { return bodyCap_; }
    void setBodyCap(qsizetype cap) { bodyCap_ = cap; }

    QNetworkRequest request(const QUrl& url) const;

    // Asynchronous multipart POST.
    TAccountRequest* PostForm(const QUrl& url, const TFormFields& fields);
    // Synchronous GET (see WaitForReply).
    THttpResult GetSync(const QUrl& url);

private:
    QNetworkAccessManager* manager_;
    QByteArray userAgent_;
    int timeoutMs_ = kAccountTimeoutMs;
    qsizetype bodyCap_ = kAccountBodyCap;
};

// The account-service form post shared by the options dialog and the web
// forms: a multipart POST of the fields to baseUrl + path (for example
// "/forms/?scriptname=feedback.php"). done gets the reply body as text, or,
// when the transfer failed, the error text with failed set. The returned
// request may be aborted; nothing is reported then.
using TFormPostDone = std::function<void(const QString& text, bool failed)>;
TAccountRequest* PostAccountForm(TAccountHttpClient& client, const QString& baseUrl,
                                 const QString& path, const TFormFields& fields,
                                 TFormPostDone done);

// Account-service paths.
inline constexpr char kAuthScriptPath[] = "/accounts/?scriptname=auth.php";
inline constexpr char kVipListScriptPath[] = "/accounts/?scriptname=viplist.php";
inline constexpr char kPasswordResetScriptPath[] = "/accounts/?scriptname=PWreset.php";

// The fallback base tried once after a connect failure: "https://" + the
// address + ":94".
QString FallbackWebBaseURL(const QString& address);

// The VIP list from a viplist.php body: one name a line (CR LF or LF), empty
// lines left out.
QStringList ParseNameLines(const QString& body);

} // namespace tarn

Q_DECLARE_METATYPE(tarn::THttpResult)
