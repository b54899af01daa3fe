// The login gate's behaviour: input checks, the login request and its
// reply, transport failures with the fallback base, abort, automatic login,
// the password reset and the first-login steps; against a scripted HTTPS peer
// and, where it is built, against tarn-server, each on its own loopback
// address.
#include "../lobby/AccountTestPeer.h"
#include "common/ErrorLog.h"
#include "common/ServerAddresses.h"
#include "community/LoginGate.h"
#include "community/mainUI.h"
#include "gui/Dialogs.h"
#include "gui/Registry.h"
#include "lobby/Endpoints.h"
#include "lobby/HTTPmodule.h"
#include "lobby/LobbyCipher.h"
#include "shell/AutoUpdate.h"
#include "shell/ClientSettings.h"
#include "shell/Styles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTest>
#include <QToolButton>
#include <QUdpSocket>

#include <functional>
#include <memory>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tarn;
using tarn::test::AccountTestPeer;
using tarn::test::PeerReply;
using tarn::test::PeerRequest;

namespace {

using Fields = QList<std::pair<QString, QString>>;

bool waitFor(const std::function<bool()>& condition, int ms = 15000) {
    return QTest::qWaitFor(condition, ms);
}

QString field(const Fields& fields, const QString& name) {
    for (const auto& [n, v] : fields) {
        if (n == name)
            return v;
    }
    return QStringLiteral("<absent>");
}

// What the owners of the first-login steps were asked to do.
struct OwnerCalls {
    QStringList calls;
};

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::setScripted(true);
        ErrorLog().clear();
        ServerAddresses() = TServerAddresses{};
        // Every test starts without a settings file.
        ResetClientSettingsForTest();
        LoadClientSettings();
        QFile::remove(ClientSettingsFilePath());
        ResetClientSettingsForTest();
        LoadClientSettings();
    }

    void TearDown() override {
        main_.reset();
        Globals() = TGlobalRefs{};
        gui::setScripted(false);
        ResetClientSettingsForTest();
    }

    // A main window whose lobby server is the override address 127.0.0.n and
    // whose account service is the scripted peer on the same address.
    void start(int n, bool withPeer = true) {
        address_ = QStringLiteral("127.0.0.%1").arg(n);
        if (withPeer) {
            ASSERT_TRUE(peer_.listen(QHostAddress(address_)));
        }
        main_ = std::make_unique<TFormMain>();
        const QString lobby = address_;
        main_->Settings.lobbyIPOverride = [lobby] { return lobby; };
        main_->WebBaseURL = withPeer ? peer_.baseUrl() : QString();
        gate_ = main_->LoginGate;
        gate_->MachineId = QStringLiteral("MID%2B");
        TLoginOwners& o = gate_->Owners;
        o.Ps2MacList = [] { return QStringList{QStringLiteral("00041F-12AB34")}; };
        o.ChangeAdapter = [this](const QString& n) { owners_.calls << "ChangeAdapter " + n; };
        o.PSPAdapterChange = [this](const QString& n) { owners_.calls << "PSP " + n; };
        o.ImportKaiAdapter = [this] { owners_.calls << "ImportKai"; };
        o.EnableBridgeTimer = [this] { owners_.calls << "BridgeTimer"; };
        o.StoreWelcomeRooms = [this](const QString& r) { owners_.calls << "Rooms " + r; };
        o.SetBlockList = [this](const QStringList& l) { owners_.calls << "Block " + l.join(','); };
        o.SetVipList = [this](const QStringList& l) { owners_.calls << "Vip " + l.join(','); };
        o.AssignUser = [this](const QString& name, const QString&, QChar group) {
            owners_.calls << "Assign " + name + " " + group;
        };
    }

    void typeLogin(const QString& user, const QString& password) {
        gate_->TabControlLoginGate->setCurrentWidget(gate_->TabItem1);
        gate_->TabItem1Click();
        gate_->EditUsername->setText(user);
        gate_->EditPassword->setText(password);
    }

    void typeRegistry(const QString& user, const QString& password, const QString& again) {
        gate_->TabControlLoginGate->setCurrentWidget(gate_->TabItem2);
        gate_->TabItem2Click();
        gate_->EditUsername->setText(user);
        gate_->EditPassword->setText(password);
        gate_->EditPasswordAgain->setText(again);
    }

    // Submits and waits until the request is over.
    void submit() {
        gate_->ButtonSubmitClick();
        EXPECT_TRUE(waitFor([this] { return !gate_->requestPending(); }));
    }

    // The form of the last login request.
    Fields lastFields() const {
        for (qsizetype i = peer_.requests().size() - 1; i >= 0; --i) {
            if (peer_.requests()[i].target.endsWith("auth.php"))
                return peer_.requests()[i].formFields();
        }
        return {};
    }

    int requestsTo(const char* script) const {
        int n = 0;
        for (const PeerRequest& r : peer_.requests())
            n += r.target.endsWith(script) ? 1 : 0;
        return n;
    }

    AccountTestPeer peer_;
    QString address_;
    std::unique_ptr<TFormMain> main_;
    TLoginGate* gate_ = nullptr;
    OwnerCalls owners_;
};

const char kFullReply[] = "RC:SUSS;Ssid:tok123;Key:pass phrase;Email:a@b.c;Mail:101;S2:127.0.0.2;"
                          "CA:127.0.0.3;Ngt:127.0.0.4;Back:127.0.0.5;Cap:true";

} // namespace

TEST_F(LoginTest, InputChecksStopAtTheFirstFailure) {
    start(80, false);
    const struct {
        const char* what;
        bool registry;
        QString user, password, again, email, emailAgain;
        const char* message; // nullptr: the checks pass
        QLineEdit* TLoginGate::*focus;
    } cases[] = {
        {"short registry password", true, "Rex", "abc", "abc", "", "",
         "Password much be four, or more characters", &TLoginGate::EditPassword},
        {"passwords differ", true, "Rex", "abcd", "abce", "", "",
         "Password must match Password confirm.", &TLoginGate::EditPasswordAgain},
        {"e-mails differ on Registry", true, "Rex", "abcd", "abcd", "a@b", "a@c",
         "Email and Email confirm must match.", &TLoginGate::EditEmailAgain},
        {"e-mails differ on Login", false, "Rex", "abc", "", "a@b", "",
         "Email and Email confirm must match.", &TLoginGate::EditEmailAgain},
        {"no user name", false, "", "abc", "", "", "", "Username name field blank.",
         &TLoginGate::EditUsername},
        {"no password", false, "Rex", "", "", "", "", "Password name field blank.",
         &TLoginGate::EditPassword},
        {"short password on Login is fine", false, "Rex", "abc", "", "", "", nullptr, nullptr},
        {"registry passes", true, "Rex", "abcd", "abcd", "a@b", "a@b", nullptr, nullptr},
    };
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
    for (const auto& c : cases) {
        if (c.registry)
            typeRegistry(c.user, c.password, c.again);
        else
            typeLogin(c.user, c.password);
        gate_->EditEmail->setText(c.email);
        gate_->EditEmailAgain->setText(c.emailAgain);
        gate_->LabelHttpResponse->clear();
        const bool ok = gate_->AccountSelfCheck();
        EXPECT_EQ(ok, c.message == nullptr) << c.what;
        EXPECT_EQ(gate_->Registering, c.registry) << c.what;
        if (c.message) {
            EXPECT_EQ(gate_->LabelHttpResponse->text(), c.message) << c.what;
            EXPECT_TRUE((gate_->*c.focus)->hasFocus()) << c.what;
        }
    }
}

TEST_F(LoginTest, RefusedChecksSendNothing) {
    start(81);
    typeRegistry("Rex", "abc", "abc");
    gate_->ButtonSubmitClick();
    EXPECT_FALSE(gate_->requestPending());
    EXPECT_TRUE(gate_->ButtonSubmit->isEnabled());
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Password much be four, or more characters");
    QTest::qWait(0);
    EXPECT_TRUE(peer_.requests().isEmpty());
}

TEST_F(LoginTest, FormVariantsOnTheWire) {
    start(82);
    peer_.replyWith("RC:Wrong password");

    typeLogin("Rex", "secret");
    submit();
    Fields f = lastFields();
    EXPECT_EQ(field(f, "account"), "Rex");
    EXPECT_EQ(field(f, "ConfigParms"), "00041F-12AB34\r\n");
    EXPECT_EQ(field(f, "AuthCode"), "MID%2B");
    EXPECT_EQ(field(f, "Password"), PasswordHash("secret"));
    EXPECT_EQ(field(f, "registry"), "false");
    EXPECT_EQ(field(f, "Password2"), "<absent>");
    EXPECT_EQ(peer_.requests().back().target, "/accounts/?scriptname=auth.php");

    typeRegistry("Rex", "secret", "secret");
    gate_->EditEmail->setText("r@x.y");
    gate_->EditEmailAgain->setText("r@x.y");
    submit();
    f = lastFields();
    EXPECT_EQ(f.size(), 11);
    EXPECT_EQ(field(f, "Password2"), PasswordHash("secret"));
    EXPECT_EQ(field(f, "email2"), "r@x.y");
    EXPECT_EQ(field(f, "registry"), "true");

    // Empty password with the stored user name: the stored hash.
    ClientSettings.setSavedUsername("Rex");
    ClientSettings.setPasswordHash("abcdef0123");
    typeLogin("Rex", "");
    submit();
    f = lastFields();
    EXPECT_EQ(field(f, "Password"), "abcdef0123");
    EXPECT_EQ(field(f, "registry"), "false");
    EXPECT_FALSE(gate_->UseSavedHash); // a refusal clears it
}

TEST_F(LoginTest, RefusalsShowTheServersText) {
    start(83);
    const struct {
        QByteArray body;
        QString shown;
    } cases[] = {
        {"RC:Wrong password", "Wrong password"},
        {"RC:Bad\x01 name\x1F!", "Bad name!"},
        {"Service closed;for maintenance", "Service closed\nfor maintenance"},
        {"", ""},
    };
    for (const auto& c : cases) {
        peer_.replyWith(c.body);
        typeLogin("Rex", "secret");
        submit();
        EXPECT_EQ(gate_->LabelHttpResponse->text(), c.shown) << c.body.constData();
        EXPECT_TRUE(gate_->ButtonSubmit->isEnabled());
        EXPECT_TRUE(gate_->RectangleLogInStatus->isHidden());
        EXPECT_FALSE(main_->IsLoggedIn());
        EXPECT_FALSE(gate_->isHidden());
    }
}

TEST_F(LoginTest, ThreeFieldReplyLogsInWithTokenKeyAndOverrideAddresses) {
    start(84);
    QUdpSocket lobby;
    ASSERT_TRUE(lobby.bind(QHostAddress(address_), kLobbyPort));
    // The VIP list is missing: that stops nothing.
    peer_.setHandler([](const PeerRequest& req) {
        PeerReply r;
        r.status = req.target.endsWith("viplist.php") ? 404 : 200;
        r.body = req.target.endsWith("viplist.php") ? "Ann" : "RC:SUSS;Ssid:tok9;Key:k3y";
        return r;
    });
    typeLogin("Rex", "secret");
    submit();

    ASSERT_TRUE(main_->IsLoggedIn());
    EXPECT_EQ(main_->LoginInfo.Ssid, "tok9");
    EXPECT_EQ(main_->LoginInfo.Key, "k3y");
    EXPECT_EQ(main_->LbRijndael1.Key(), LockBoxDigest(QByteArray("k3y"), 32));
    EXPECT_EQ(main_->CurrentUser, "Rex");
    EXPECT_EQ(ServerAddresses().LobbyServerIP, address_);
    EXPECT_EQ(ServerAddresses().S2ServerIP, address_);
    EXPECT_EQ(ServerAddresses().CaServerIP, address_);
    EXPECT_TRUE(gate_->isHidden());
    EXPECT_FALSE(main_->RectangleStatus->isHidden());
    EXPECT_EQ(main_->Text1->text(), "Connecting to TARN. Please wait.");
    EXPECT_TRUE(gate_->FirstLoginDone);

    // The hello.
    ASSERT_TRUE(waitFor([&] { return lobby.hasPendingDatagrams(); }));
    QByteArray hello(static_cast<int>(lobby.pendingDatagramSize()), '\0');
    lobby.readDatagram(hello.data(), hello.size());
    EXPECT_EQ(hello, QByteArray("\x05;Rex;tok9;"));

    EXPECT_EQ(owners_.calls, (QStringList{"BridgeTimer", "Rooms Welcome Rex!", "ImportKai"}));
}

TEST_F(LoginTest, FullReplyFillsTheSessionAndSavesTheSettings) {
    start(85);
    peer_.setHandler([](const PeerRequest& req) {
        PeerReply r;
        r.body = req.target.endsWith("viplist.php") ? "Ann\r\nBob\r\n" : kFullReply;
        return r;
    });
    QDir().mkpath(ClientSettings.dataFolder());
    QFile block(ClientSettings.dataFolder() + "/BlockList.txt");
    ASSERT_TRUE(block.open(QIODevice::WriteOnly));
    block.write("Troll\r\nSp\xE4mmer\r\n");
    block.close();
    ClientSettings.setAdapterName("eth7");
    ClientSettings.setPspAdapterName("wlan1");

    typeLogin("Rex_The_Long_Nam", "secret");
    gate_->CheckBoxAutoLogin->setChecked(true);
    submit();
    ASSERT_TRUE(main_->IsLoggedIn());
    const TLogin& info = main_->LoginInfo;
    EXPECT_EQ(info.ResponseCode, "SUSS");
    EXPECT_EQ(info.Email, "a@b.c");
    EXPECT_EQ(info.EmailSettings, "101");
    EXPECT_EQ(info.S2Ip, "127.0.0.2");
    EXPECT_EQ(info.CaIp, "127.0.0.3");
    EXPECT_EQ(info.NgtIp, "127.0.0.4");
    EXPECT_EQ(info.BackUpIp, "127.0.0.5");
    EXPECT_TRUE(info.NewCap);
    EXPECT_EQ(ServerAddresses().LobbyServerIP, "127.0.0.4");
    EXPECT_EQ(ServerAddresses().S2ServerIP, "127.0.0.2");

    EXPECT_EQ(owners_.calls, (QStringList{"BridgeTimer", "Rooms Welcome Rex_The_Long_Nam!",
                                          QString::fromUtf8("Block Troll,Spämmer"),
                                          QString::fromUtf8("Assign Spämmer b"), "Assign Troll b",
                                          "ChangeAdapter eth7", "PSP wlan1", "Vip Ann,Bob",
                                          "Assign Bob v", "Assign Ann v"}));

    // The settings file holds the name and, with automatic login, the hash.
    ResetClientSettingsForTest();
    LoadClientSettings();
    EXPECT_EQ(ClientSettings.savedUsername(), "Rex_The_Long_Nam");
    EXPECT_EQ(ClientSettings.passwordHash(), PasswordHash("secret"));

    // Logging out and in again loads neither list a second time.
    main_->logout();
    EXPECT_FALSE(main_->IsLoggedIn());
    owners_.calls.clear();
    typeLogin("Rex_The_Long_Nam", "secret");
    submit();
    EXPECT_TRUE(main_->IsLoggedIn());
    EXPECT_EQ(requestsTo("viplist.php"), 1);
    EXPECT_EQ(owners_.calls, (QStringList{"BridgeTimer", "Rooms Welcome Rex_The_Long_Nam!"}));
}

TEST_F(LoginTest, WithoutAutoLoginNoHashIsStored) {
    start(86);
    peer_.replyWith("RC:SUSS;Ssid:t;Key:k");
    typeLogin("Rex", "secret");
    submit();
    ASSERT_TRUE(main_->IsLoggedIn());
    ResetClientSettingsForTest();
    LoadClientSettings();
    EXPECT_EQ(ClientSettings.savedUsername(), "Rex");
    EXPECT_TRUE(ClientSettings.passwordHash().isEmpty());
}

TEST_F(LoginTest, UpdateRequiredHidesTheMainWindowAndShowsTheUpdater) {
    start(87);
    TFormAutoUpdate update;
    Globals().FormAutoUpdate = &update;
    peer_.replyWith("RC:New update require to log in");
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get())); // automatic login has run
    typeLogin("Rex", "secret");
    submit();
    EXPECT_FALSE(main_->isVisible());
    EXPECT_TRUE(update.isVisible());
    EXPECT_FALSE(main_->IsLoggedIn());
    EXPECT_TRUE(gate_->RectangleLogInStatus->isHidden());

    // Without an update window the main window stays.
    Globals().FormAutoUpdate = nullptr;
    update.hide();
    main_->show();
    submit();
    EXPECT_TRUE(main_->isVisible());
    EXPECT_EQ(peer_.requests().size(), 2);
}

TEST_F(LoginTest, TransportFailureRetriesOnceAgainstTheFallbackBase) {
    // Nobody listens at this address: the can't-connect case, twice (the
    // fallback "https://127.0.0.88:94" refuses as well).
    start(88, false);
    const QString base = QStringLiteral("https://%1:%2")
                             .arg(address_)
                             .arg(tarn::test::UnusedLoopbackPort(QHostAddress(address_)));
    main_->WebBaseURL = base;
    ClientSettings.setSavedFallbackWebIP(address_);
    typeLogin("Rex", "secret");
    submit();
    EXPECT_EQ(gate_->requestsSent(), 2);
    EXPECT_EQ(gate_->lastRequestUrl().toString(),
              "https://127.0.0.88:94/accounts/?scriptname=auth.php");
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Connection Error!");
    EXPECT_EQ(main_->WebBaseURL, Endpoints().webBaseUrl()); // back to the default
    EXPECT_EQ(gate_->FallbackRetries, 0);
    EXPECT_TRUE(gate_->LoginAborted);
    EXPECT_TRUE(gate_->ButtonSubmit->isEnabled());
    EXPECT_TRUE(gate_->RectangleLogInStatus->isHidden());

    // A retry that the input checks refuse (the name was cleared while the
    // request was under way) ends the request state too.
    main_->WebBaseURL = base;
    const int sent = gate_->requestsSent();
    gate_->ButtonSubmitClick();
    gate_->EditUsername->clear();
    EXPECT_TRUE(waitFor([&] { return gate_->ButtonSubmit->isEnabled(); }));
    EXPECT_EQ(gate_->requestsSent(), sent + 1);
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Connection Error!");
    EXPECT_TRUE(gate_->RectangleLogInStatus->isHidden());
    EXPECT_EQ(main_->WebBaseURL, Endpoints().webBaseUrl());
    EXPECT_EQ(gate_->FallbackRetries, 0);
    gate_->EditUsername->setText("Rex");

    // Without a valid fallback address there is no retry.
    const struct { QString fallback; } noRetry[] = {{""}, {"300.1.1.1"}, {"host.name"}};
    for (const auto& c : noRetry) {
        ClientSettings.setSavedFallbackWebIP(c.fallback);
        main_->WebBaseURL = base;
        const int before = gate_->requestsSent();
        submit();
        EXPECT_EQ(gate_->requestsSent(), before + 1) << c.fallback.toStdString();
        EXPECT_EQ(main_->WebBaseURL, base) << c.fallback.toStdString();
        EXPECT_EQ(gate_->LabelHttpResponse->text(), "Connection Error!");
    }
}

TEST_F(LoginTest, FallbackBaseAnswersTheRetry) {
    const QHostAddress addr(QStringLiteral("127.0.0.89"));
    AccountTestPeer fallback;
    if (!fallback.listen(addr, 94))
        GTEST_SKIP() << "port 94 cannot be bound here (needs root)";
    fallback.replyWith("RC:SUSS;Ssid:t;Key:k");
    start(89, false);
    main_->WebBaseURL =
        QStringLiteral("https://127.0.0.89:%1").arg(tarn::test::UnusedLoopbackPort(addr));
    ClientSettings.setSavedFallbackWebIP("127.0.0.89");
    typeLogin("Rex", "secret");
    gate_->ButtonSubmitClick();
    EXPECT_TRUE(waitFor([&] { return main_->IsLoggedIn(); }));
    EXPECT_EQ(main_->WebBaseURL, "https://127.0.0.89:94");
    EXPECT_EQ(fallback.requests().size(), 2); // auth.php, then viplist.php
}

TEST_F(LoginTest, OtherFailuresAndAbortShowTheirTexts) {
    start(90);
    peer_.setHandler([](const PeerRequest&) {
        PeerReply r;
        r.closeWithoutReply = true;
        return r;
    });
    ClientSettings.setSavedFallbackWebIP(address_);
    typeLogin("Rex", "secret");
    submit();
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Connection Error!");
    EXPECT_EQ(gate_->FallbackRetries, 0);
    EXPECT_EQ(main_->WebBaseURL, peer_.baseUrl());

    // A reply over the size cap is a failure as well.
    peer_.replyWith(QByteArray(kAccountBodyCap + 10, 'x'));
    submit();
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Connection Error!");

    // The red cross: the reply that would come is dropped.
    peer_.setHandler([](const PeerRequest&) {
        PeerReply r;
        r.hold = true;
        return r;
    });
    main_->show();
    gate_->ButtonSubmitClick();
    ASSERT_TRUE(waitFor([&] { return peer_.requests().size() == 3; }));
    EXPECT_TRUE(gate_->RectangleLogInStatus->isVisible());
    EXPECT_FALSE(gate_->ButtonSubmit->isEnabled());
    QTest::mouseClick(gate_->RadiantX2, Qt::LeftButton);
    EXPECT_EQ(gate_->LabelHttpResponse->text(), "Login Aborted By User Request");
    EXPECT_TRUE(gate_->ButtonSubmit->isEnabled());
    EXPECT_FALSE(gate_->requestPending());

    // A reply arriving after an abort or a failure is ignored.
    gate_->NetHTTPRequest1RequestCompleted("RC:SUSS;Ssid:t;Key:k");
    EXPECT_FALSE(main_->IsLoggedIn());
}

TEST_F(LoginTest, AutomaticLoginAtTheFirstShowing) {
    start(91);
    peer_.replyWith("RC:SUSS;Ssid:t;Key:k");
    ClientSettings.setSavedUsername("Rex");
    ClientSettings.setPasswordHash("feedbeef");
    gate_->UseSavedHash = true; // as the account window sets it
    main_->show();
    ASSERT_TRUE(waitFor([&] { return main_->IsLoggedIn(); }));
    EXPECT_EQ(gate_->EditUsername->text(), "Rex");
    EXPECT_EQ(gate_->TabControlLoginGate->currentWidget(), gate_->TabItem1);
    EXPECT_TRUE(gate_->CheckBoxAutoLogin->isChecked());
    EXPECT_EQ(field(lastFields(), "Password"), "feedbeef");
    EXPECT_FALSE(gate_->UseSavedHash); // LoginGateFinish cleared it
}

TEST_F(LoginTest, PasswordResetPostsThroughTheHttpsModule) {
    start(92);
    peer_.replyWith("A reset link was sent.");
    THttpsModule https;
    Globals().HttpsModule = &https;
    typeLogin("Rex", "");

    gui::setNextInput("");
    gate_->LabelPWResetClick(); // cancelled: nothing is sent
    EXPECT_TRUE(peer_.requests().isEmpty());

    gui::takeShownTexts();
    gui::setNextInput("rex@mail.test");
    gate_->LabelPWResetClick();
    ASSERT_EQ(peer_.requests().size(), 1);
    EXPECT_EQ(peer_.requests()[0].target, "/accounts/?scriptname=PWreset.php");
    EXPECT_EQ(peer_.requests()[0].body, "account=Rex&email=rex%40mail.test");
    EXPECT_EQ(gui::takeShownTexts(),
              (QStringList{"Password Reset: Type in your email address registry with this account "
                           "in order to reset your password.",
                           "A reset link was sent."}));
}

// The gate and the two overlays as a person sees them, in the default style.
// With TARN_SCREENSHOT_DIR set the pictures are written there (docs/ keeps
// them for the README; run under Xvfb with QT_QPA_PLATFORM=xcb).
TEST_F(LoginTest, GateAndOverlaysRender) {
    start(94);
    ASSERT_TRUE(styles::ApplyApplicationStyle(QStringLiteral("Transparent")));
    main_->setComboColorBox1(QColor::fromRgba(styles::AccentColor(QStringLiteral("Transparent"))));
    main_->resize(900, 620);
    main_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
    typeLogin(QStringLiteral("Rex"), QStringLiteral("secret"));
    gate_->CheckBoxAutoLogin->setChecked(true);
    const QString dir = qEnvironmentVariable("TARN_SCREENSHOT_DIR");

    const QImage idle = main_->grab().toImage();
    gate_->setRequestShown(true);
    const QImage request = main_->grab().toImage();
    gate_->setRequestShown(false);
    gate_->hide();
    main_->showStatus(TFormMain::connectingText());
    const QImage connecting = main_->grab().toImage();

    const std::pair<const char*, const QImage*> shots[] = {
        {"login-gate.png", &idle},
        {"login-request.png", &request},
        {"login-connecting.png", &connecting},
    };
    for (const auto& [name, image] : shots) {
        ASSERT_FALSE(image->isNull()) << name;
        // Not a blank picture: the controls and texts leave many colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image->height(); y += 4) {
            for (int x = 0; x < image->width(); x += 4)
                colours.insert(image->pixel(x, y));
        }
        EXPECT_GT(colours.size(), 3) << name;
        if (!dir.isEmpty()) {
            EXPECT_TRUE(image->save(dir + QLatin1Char('/') + QLatin1String(name))) << name;
        }
    }
    EXPECT_NE(idle, connecting);
    qApp->setStyleSheet(QString());
    qApp->setPalette(QPalette());
}

// ---- Against the reference service ----

#ifdef TARN_SERVER_BINARY
namespace {

class ServerProcess {
public:
    bool start(const QString& address, quint16 webPort, const QString& stateDir) {
        process_.setProgram(QStringLiteral(TARN_SERVER_BINARY));
        process_.setArguments({"--address", address, "--web-port", QString::number(webPort),
                               "--http-port", QString::number(webPort + 1), "--dns-port",
                               QString::number(webPort + 2), "--state", stateDir,
                               "--object-address", address, "--pbkdf2-iterations", "1000"});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000))
            return false;
        return waitFor([&] {
            QTcpSocket probe;
            probe.connectToHost(address, webPort);
            return probe.waitForConnected(200);
        });
    }
    ~ServerProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(10000))
                process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QProcess process_;
};

} // namespace

TEST_F(LoginTest, AgainstTarnServerRegisterLoginAndNextStart) {
    const QString address = QStringLiteral("127.0.0.93");
    const QString state = qEnvironmentVariable("TARN_TEST_ROOT") + "/server-state";
    QDir().mkpath(state);
    ServerProcess server;
    ASSERT_TRUE(server.start(address, 28443, state));
    start(93, false);
    main_->WebBaseURL = QStringLiteral("https://%1:28443").arg(address);

    // Register.
    typeRegistry("Rex_1", "secret1", "secret1");
    gate_->ButtonSubmitClick();
    ASSERT_TRUE(waitFor([&] { return !gate_->requestPending(); }, 30000));
    ASSERT_TRUE(main_->IsLoggedIn()) << gate_->LabelHttpResponse->text().toStdString();
    EXPECT_FALSE(main_->LoginInfo.Ssid.isEmpty());
    EXPECT_FALSE(main_->LoginInfo.Key.isEmpty());
    main_->logout();

    // A wrong password shows the server's text.
    typeLogin("Rex_1", "wrong!");
    gate_->ButtonSubmitClick();
    ASSERT_TRUE(waitFor([&] { return !gate_->requestPending(); }, 30000));
    EXPECT_FALSE(main_->IsLoggedIn());
    const QString refusal = gate_->LabelHttpResponse->text();
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_NE(refusal, "Connection Error!");

    // Log in with automatic login.
    typeLogin("Rex_1", "secret1");
    gate_->CheckBoxAutoLogin->setChecked(true);
    gate_->ButtonSubmitClick();
    ASSERT_TRUE(waitFor([&] { return !gate_->requestPending(); }, 30000));
    ASSERT_TRUE(main_->IsLoggedIn()) << gate_->LabelHttpResponse->text().toStdString();
    // The lobby answers the hello: the first datagram removes the overlay.
    EXPECT_TRUE(waitFor([&] { return main_->RectangleStatus->isHidden(); }, 15000));
    main_.reset();

    // The next start logs in by itself with the saved hash.
    ResetClientSettingsForTest();
    LoadClientSettings();
    EXPECT_EQ(ClientSettings.savedUsername(), "Rex_1");
    EXPECT_EQ(ClientSettings.passwordHash(), PasswordHash("secret1"));
    start(93, false);
    main_->WebBaseURL = QStringLiteral("https://%1:28443").arg(address);
    gate_->UseSavedHash = !ClientSettings.passwordHash().isEmpty();
    main_->show();
    EXPECT_TRUE(waitFor([&] { return main_->IsLoggedIn(); }, 30000))
        << gate_->LabelHttpResponse->text().toStdString();
}
#endif
