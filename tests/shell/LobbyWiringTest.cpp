// The main window as the lobby session's window side: overlay, login gate,
// logout question, closing while logged in.
#include "LobbyTestSupport.h"

#include "community/LoginGate.h"
#include "community/mainUI.h"
#include "gui/Dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using namespace tarn;
using namespace tarn::testing;

namespace {

// A main window logged in to a peer socket that plays the lobby server.
struct Window {
    explicit Window(const QString& host) : server(host, 30022) {
        UseTestEndpoints(host + QStringLiteral(":5353"));
        gui::setScripted(true);
        gui::takeShownTexts();
        form.Settings.lobbyIPOverride = [host] { return host; };
        form.Settings.nonGamePort = [] { return quint16(0); };
        form.CurrentUser = QStringLiteral("Alice");
        form.LoginInfo.Key = QStringLiteral("k");
        form.LbRijndael1.GenerateKey(form.LoginInfo.Key);
        form.show();
        form.showStatus(TFormMain::connectingText());
        form.LoggedIn();
        form.setMissedKeepAlives(4);
    }
    ~Window() { gui::setScripted(false); }
    void fromServer(const QString& text) {
        server.send(QStringLiteral("127.0.0.1"), form.session()->NgtServer.localPort(),
                    text.toUtf8());
    }

    Peer server;
    TFormMain form;
};

TEST(LobbyWiring, FirstDatagramHidesTheOverlayAndTheGate) {
    Window w(QStringLiteral("127.3.0.101"));
    ASSERT_TRUE(w.form.IsLoggedIn());
    EXPECT_TRUE(w.form.RectangleStatus->isVisible());
    w.fromServer(ctl(8) + QStringLiteral("x"));
    QTRY_VERIFY_WITH_TIMEOUT(w.form.RectangleStatus->isHidden(), 5000);
    EXPECT_TRUE(w.form.LoginGate->isHidden());
    EXPECT_EQ(w.form.session()->MissedKeepAlives, 0);
    ASSERT_TRUE(w.server.waitFor(1));
    EXPECT_EQ(w.server.received[0].bytes, (ctl(2) + ctl(3) + QStringLiteral("Alice")).toUtf8());
}

TEST(LobbyWiring, LostConnectionOverlayThenSessionExpiry) {
    Window w(QStringLiteral("127.3.0.102"));
    w.form.hideStatus();
    w.form.LoginGate->hide();
    w.form.setMissedKeepAlives(5);
    w.form.session()->DnsFallbackDone = true;
    w.form.session()->Timer1Timer(); // 6
    EXPECT_TRUE(w.form.RectangleStatus->isVisible());
    EXPECT_EQ(w.form.Text1->text(), TFormMain::reconnectingText());
    EXPECT_TRUE(w.form.ButtonLogout->isVisible());
    w.form.LoginGate->CheckBoxAutoLogin->setChecked(true);
    w.form.session()->Timer1Timer(); // 7
    EXPECT_FALSE(w.form.IsLoggedIn());
    EXPECT_TRUE(w.form.LoginGate->isVisible());
    EXPECT_EQ(w.form.LoginGate->LabelHttpResponse->text(),
              QStringLiteral("Session expiry re-login require"));
    EXPECT_FALSE(w.form.LoginGate->CheckBoxAutoLogin->isChecked());
    EXPECT_TRUE(w.form.LoginGate->ButtonSubmit->isEnabled());
    EXPECT_TRUE(w.form.ButtonLogout->isHidden());
    EXPECT_TRUE(w.form.Text1->isHidden());
    EXPECT_EQ(w.form.Text1->text(), TFormMain::connectingText());
    EXPECT_TRUE(w.form.CurrentUser.isEmpty());
}

TEST(LobbyWiring, LogoutAsksFirstAndClosingTellsTheServer) {
    Window w(QStringLiteral("127.3.0.103"));
    gui::setNextAnswer(gui::Answer::No);
    w.form.ButtonLogout->click();
    EXPECT_EQ(gui::takeShownTexts(), QStringList{"Are you sure you want to log out?"});
    EXPECT_TRUE(w.form.IsLoggedIn());

    w.form.close();
    ASSERT_TRUE(w.server.waitFor(1));
    EXPECT_EQ(w.server.received.back().bytes, (ctl(9) + QStringLiteral("Alice")).toUtf8());
    EXPECT_TRUE(w.form.IsLoggedIn()); // closing resets nothing

    gui::setNextAnswer(gui::Answer::Yes);
    w.form.MenuItemLogoutClick();
    EXPECT_FALSE(w.form.IsLoggedIn());
    EXPECT_FALSE(w.form.session()->NgtServer.isActive());
}

} // namespace
