// The account service's forms, the login reply reader and the HTTPS clients
// against a scripted peer on a loopback address.
#include "lobby/AccountService.h"
#include "AccountTestPeer.h"
#include "common/ErrorLog.h"
#include "lobby/HTTPmodule.h"
#include "lobby/LobbyCipher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <memory>

using namespace tarn;
using tarn::test::AccountTestPeer;
using tarn::test::PeerReply;
using tarn::test::PeerRequest;

namespace {

using Fields = QList<std::pair<QString, QString>>;

Fields pairs(const TFormFields& f) {
    Fields out;
    for (const TFormField& x : f)
        out.append({x.Name, x.Value});
    return out;
}

// Runs the event loop until the request reports (bounded).
THttpResult await(TAccountRequest* req) {
    THttpResult result;
    bool done = false;
    QEventLoop loop;
    QObject::connect(req, &TAccountRequest::finished, &loop, [&](const THttpResult& r) {
        result = r;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    if (!done)
        loop.exec();
    EXPECT_TRUE(done) << "no report";
    return result;
}

// Runs events until the condition holds, at most ms milliseconds.
bool spinUntil(const std::function<bool()>& condition, int ms = 15000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return condition();
}

QHostAddress loopback(int n) {
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(n));
}

} // namespace

// ---- Forms ----

TEST(AccountForm, TheThreeVariantsCarryTheirFieldsInOrder) {
    TLoginFormInput base;
    base.Account = QStringLiteral("Rex_1");
    base.ConsoleMacList = {QStringLiteral("00041F-12AB34"), QStringLiteral("00041F-000001")};
    base.AuthCode = QStringLiteral("abc%2B%3D");
    const Fields head = {
        {"account", "Rex_1"},
        {"version", "0.95f"},
        {"platformVer", " "},
        {"uport", ""},
        {"ConfigParms", "00041F-12AB34\r\n00041F-000001\r\n"},
        {"AuthCode", "abc%2B%3D"},
    };

    TLoginFormInput saved = base;
    saved.Kind = TLoginFormKind::SavedHash;
    saved.SavedHash = QStringLiteral("f00d");
    saved.Password = QStringLiteral("ignored");

    TLoginFormInput reg = base;
    reg.Kind = TLoginFormKind::Registering;
    reg.Password = QStringLiteral("secret");
    reg.PasswordAgain = QStringLiteral("secreT");
    reg.Email = QStringLiteral("a@b.c");
    reg.EmailAgain = QStringLiteral("a@b.d");

    TLoginFormInput plain = base;
    plain.Kind = TLoginFormKind::Plain;
    plain.Password = QStringLiteral("secret");

    const struct {
        const char* what;
        TLoginFormInput in;
        Fields tail;
    } cases[] = {
        {"saved hash", saved, {{"Password", "f00d"}, {"registry", "false"}}},
        {"registering",
         reg,
         {{"Password", PasswordHash("secret")},
          {"Password2", PasswordHash("secreT")},
          {"email", "a@b.c"},
          {"email2", "a@b.d"},
          {"registry", "true"}}},
        {"plain", plain, {{"Password", PasswordHash("secret")}, {"registry", "false"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pairs(BuildLoginForm(c.in)), head + c.tail) << c.what;

    TLoginFormInput none = plain;
    none.ConsoleMacList.clear();
    EXPECT_EQ(BuildLoginForm(none).at(4).Value, QString()); // no console: empty, no CR LF
}

TEST(AccountForm, MultipartAndUrlEncodedBodiesAreExact) {
    const TFormFields fields = {{QStringLiteral("account"), QStringLiteral("Zoë")},
                                {QStringLiteral("uport"), QString()},
                                {QStringLiteral("a\"b\r\n"), QStringLiteral("x")}};
    EXPECT_EQ(EncodeMultipartForm(fields, "BND"),
              QByteArray("--BND\r\nContent-Disposition: form-data; name=\"account\"\r\n\r\n"
                         "Zo\xC3\xAB\r\n"
                         "--BND\r\nContent-Disposition: form-data; name=\"uport\"\r\n\r\n\r\n"
                         "--BND\r\nContent-Disposition: form-data; name=\"a%22b%0D%0A\"\r\n\r\n"
                         "x\r\n"
                         "--BND--\r\n"));
    EXPECT_EQ(MultipartContentType("BND"), QByteArray("multipart/form-data; boundary=BND"));

    const struct {
        QStringList vars;
        QByteArray body;
    } cases[] = {
        {{"account=Rex", "email=a b&c=d@e.f"}, "account=Rex&email=a%20b%26c%3Dd%40e.f"},
        {{"name=é", "novalue", "x=="}, "name=%C3%A9&novalue=&x=%3D"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeUrlEncodedForm(c.vars), c.body) << c.body.constData();
}

// ---- The login reply ----

TEST(AccountReply, OutcomeFollowsTheRcRuleAndTheFilter) {
    const struct {
        QString body;
        bool hasRC;
        QString outcome;
        int fields;
    } cases[] = {
        {"", false, "", 1},
        {"RC:SUSS;tok;key", true, "SUSS", 3},
        {"Wrong password", false, "Wrong password", 1},
        {" Account;is banned; ", false, "Account\nis banned", 3},
        {"RC:Bad\x01 pass\x7Fword\t!", true, "Bad pass\x7Fword!", 1},
        {"RC:Fine", true, "Fine", 1},
        // "RC" anywhere counts; the outcome is still the value of field 0.
        {"X:first;RC:SUSS", true, "first", 2},
        {"RC", false, "RC", 1},     // no ":" -> no name
        {"RC:a:b", true, "a:b", 1}, // value after the first ":"
        {"rc:SUSS", false, "rc:SUSS", 1},
        {QString::fromUtf8("RC:Zo\xC3\xAB\xE2\x82\xAC"), true, "Zo", 1},
    };
    for (const auto& c : cases) {
        const TLoginReply r = ReadLoginReply(c.body);
        EXPECT_EQ(r.HasRC, c.hasRC) << c.body.toStdString();
        EXPECT_EQ(r.Outcome, c.outcome) << c.body.toStdString();
        EXPECT_EQ(r.count(), c.fields) << c.body.toStdString();
    }

    const TLoginReply r = ReadLoginReply("RC:SUSS;Ssid:T0k;Key:k:ey;novalue;");
    EXPECT_EQ(r.value(1), "T0k");
    EXPECT_EQ(r.value(2), "k:ey");
    EXPECT_EQ(r.value(3), "");
    EXPECT_EQ(r.value(4), "");
    EXPECT_EQ(r.value(99), "");
    EXPECT_EQ(r.value(-1), "");
}

TEST(AccountReply, BodiesOfAnyShapeAreRead) {
    QString many = QStringLiteral("RC:SUSS");
    for (int i = 0; i < 20000; ++i)
        many += QStringLiteral(";f%1:v").arg(i);
    EXPECT_EQ(ReadLoginReply(many).count(), 20001);

    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 37 + 11);
    const TLoginReply b = ReadLoginReply(BodyText("RC:" + binary));
    EXPECT_TRUE(b.HasRC);
    for (QChar c : b.Outcome)
        EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() <= 0x7F);

    const QString big(3 * 1024 * 1024, QLatin1Char('x'));
    EXPECT_EQ(ReadLoginReply(big).Outcome.size(), big.size());
}

TEST(AccountReply, NameLinesAndFallbackBase) {
    EXPECT_EQ(ParseNameLines("Ann\r\nBob\n\r\nCy"), (QStringList{"Ann", "Bob", "Cy"}));
    EXPECT_EQ(ParseNameLines(""), QStringList());
    EXPECT_EQ(FallbackWebBaseURL("10.1.2.3"), "https://10.1.2.3:94");
}

// ---- Transport ----

TEST(AccountTransport, CannotConnectCoversRefusedAndHostNotFound) {
    const struct {
        QNetworkReply::NetworkError code;
        bool cannotConnect;
    } cases[] = {
        {QNetworkReply::ConnectionRefusedError, true},
        {QNetworkReply::HostNotFoundError, true},
        {QNetworkReply::TimeoutError, false},
        {QNetworkReply::RemoteHostClosedError, false},
        {QNetworkReply::SslHandshakeFailedError, false},
        {QNetworkReply::OperationCanceledError, false},
    };
    for (const auto& c : cases) {
        const TTransportError e = TransportError(c.code, "port 12029 msg");
        EXPECT_EQ(e.CannotConnect, c.cannotConnect) << c.code;
        EXPECT_EQ(e.Text.contains("(12029)"), c.cannotConnect) << c.code;
        EXPECT_TRUE(e.Text.endsWith("port 12029 msg"));
    }
}

TEST(AccountTransport, FormPostCarriesTheClientSettingsAndAnyStatusIsAnAnswer) {
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(loopback(41)));
    peer.replyWith("RC:nope", 500);
    TAccountHttpClient client;
    const THttpResult r =
        await(client.PostForm(QUrl(peer.baseUrl() + kAuthScriptPath),
                              {{QStringLiteral("account"), QStringLiteral("Rex")},
                               {QStringLiteral("version"), QStringLiteral("0.95f")}}));
    EXPECT_EQ(r.Status, 500);
    EXPECT_EQ(r.Body, "RC:nope");
    ASSERT_EQ(peer.requests().size(), 1);
    const PeerRequest& req = peer.requests().front();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/accounts/?scriptname=auth.php");
    EXPECT_EQ(req.headers.value("user-agent"), "WIN32 TARNClient Version 0.95f");
    EXPECT_TRUE(req.headers.value("content-type").startsWith("multipart/form-data; boundary="));
    EXPECT_EQ(req.formFields(), (Fields{{"account", "Rex"}, {"version", "0.95f"}}));
}

TEST(AccountTransport, CookiesAreKeptAndRedirectsFollowed) {
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(loopback(42)));
    peer.setHandler([](const PeerRequest& req) {
        PeerReply r;
        if (req.target.startsWith("/first")) {
            r.status = 302;
            r.extraHeaders = "Set-Cookie: sid=abc; Path=/\r\nLocation: /second\r\n";
        } else {
            r.body = "cookie=" + req.headers.value("cookie");
        }
        return r;
    });
    TAccountHttpClient client;
    const THttpResult r = client.GetSync(QUrl(peer.baseUrl() + "/first"));
    EXPECT_EQ(r.Status, 200);
    EXPECT_EQ(r.Body, "cookie=sid=abc");
    EXPECT_EQ(peer.requests().size(), 2);
}

TEST(AccountTransport, FailuresAreReported) {
    const QHostAddress addr = loopback(43);
    TAccountHttpClient client;

    // Nobody listens: the can't-connect case.
    const quint16 closed = tarn::test::UnusedLoopbackPort(addr);
    THttpResult r =
        await(client.PostForm(QUrl(QStringLiteral("https://127.0.0.43:%1/x").arg(closed)), {}));
    EXPECT_FALSE(r.answered());
    EXPECT_TRUE(r.Error.CannotConnect);

    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(addr));

    // The peer hangs up without a reply: a failure, but not can't-connect.
    peer.setHandler([](const PeerRequest&) {
        PeerReply p;
        p.closeWithoutReply = true;
        return p;
    });
    r = await(client.PostForm(QUrl(peer.baseUrl() + "/x"), {}));
    EXPECT_FALSE(r.answered());
    EXPECT_FALSE(r.Error.CannotConnect);
    EXPECT_FALSE(r.Error.Text.isEmpty());

    // A body over the cap is cut off.
    client.setBodyCap(1000);
    peer.replyWith(QByteArray(5000, 'a'));
    r = await(client.PostForm(QUrl(peer.baseUrl() + "/x"), {}));
    EXPECT_FALSE(r.answered());
    EXPECT_TRUE(r.Body.isEmpty());
    peer.replyWith(QByteArray(1000, 'a'));
    r = await(client.PostForm(QUrl(peer.baseUrl() + "/x"), {}));
    EXPECT_EQ(r.Body.size(), 1000);

    // No answer within the time-out: the synchronous wait gives up.
    client.setTimeoutMs(300);
    peer.setHandler([](const PeerRequest&) {
        PeerReply p;
        p.hold = true;
        return p;
    });
    r = client.GetSync(QUrl(peer.baseUrl() + "/viplist"));
    EXPECT_FALSE(r.answered());
    EXPECT_FALSE(r.Error.CannotConnect);
}

TEST(AccountTransport, ClosingTheClientEndsPendingRequestsSilently) {
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(loopback(47)));
    peer.setHandler([](const PeerRequest&) {
        PeerReply p;
        p.hold = true;
        return p;
    });
    auto client = std::make_unique<TAccountHttpClient>();
    bool reported = false;
    QObject::connect(client->PostForm(QUrl(peer.baseUrl() + "/x"), {}), &TAccountRequest::finished,
                     [&](const THttpResult&) { reported = true; });
    ASSERT_TRUE(spinUntil([&] { return peer.requests().size() == 1; }));
    client.reset();
    spinUntil([] { return false; }, 100);
    EXPECT_FALSE(reported);
}

TEST(AccountTransport, SharedFormPostGivesTheBodyAsText) {
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(loopback(44)));
    peer.replyWith("Thank you \xE2\x9C\x93");
    TAccountHttpClient client;
    QString text;
    bool failed = true;
    QEventLoop loop;
    PostAccountForm(client, peer.baseUrl(), "/forms/?scriptname=feedback.php",
                    {{QStringLiteral("account"), QStringLiteral("Rex")}},
                    [&](const QString& t, bool f) {
                        text = t;
                        failed = f;
                        loop.quit();
                    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(failed);
    EXPECT_EQ(text, QString::fromUtf8("Thank you \xE2\x9C\x93"));
    ASSERT_EQ(peer.requests().size(), 1);
    EXPECT_EQ(peer.requests()[0].target, "/forms/?scriptname=feedback.php");
    EXPECT_EQ(peer.requests()[0].formFields(), (Fields{{"account", "Rex"}}));
}

// ---- THttpsModule.HTTPsPost ----

TEST(HttpsModule, PostsUrlEncodedAndEmptiesTheScratchList) {
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(loopback(45)));
    peer.replyWith("Mail sent");
    THttpsModule module;
    QString response;
    EXPECT_TRUE(module.HTTPsPost(peer.baseUrl() + kPasswordResetScriptPath,
                                 {"account=Rex", "email=r x@y.z"}, response));
    EXPECT_EQ(response, "Mail sent");
    EXPECT_TRUE(module.postData().isEmpty());
    ASSERT_EQ(peer.requests().size(), 1);
    const PeerRequest& req = peer.requests().front();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/accounts/?scriptname=PWreset.php");
    EXPECT_EQ(req.body, "account=Rex&email=r%20x%40y.z");
    EXPECT_EQ(req.headers.value("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(req.headers.value("user-agent"), "TARNClient Version 0.95f");
    EXPECT_EQ(req.headers.value("accept"),
              "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
}

TEST(HttpsModule, ErrorsGoToTheErrorLogAndLeaveTheResponseEmpty) {
    const QHostAddress addr = loopback(46);
    AccountTestPeer peer;
    ASSERT_TRUE(peer.listen(addr));
    peer.replyWith("Not here", 404);
    const QString refused =
        QStringLiteral("https://127.0.0.46:%1/x").arg(tarn::test::UnusedLoopbackPort(addr));

    const struct {
        const char* what;
        QString url;
        const char* logStart;
    } cases[] = {
        {"HTTP status", peer.baseUrl() + "/x", "EHttpProtocolError HTTP 404"},
        {"no connection", refused, "ENetworkError "},
    };
    for (const auto& c : cases) {
        ErrorLog().clear();
        THttpsModule module;
        QString response = QStringLiteral("stale");
        EXPECT_FALSE(module.HTTPsPost(c.url, {"account=Rex"}, response)) << c.what;
        EXPECT_TRUE(response.isEmpty()) << c.what;
        EXPECT_TRUE(module.postData().isEmpty()) << c.what;
        ASSERT_EQ(ErrorLog().size(), 1) << c.what;
        EXPECT_TRUE(ErrorLog().front().startsWith(c.logStart)) << ErrorLog().front().toStdString();
    }
}
