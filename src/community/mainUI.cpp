#include "mainUI.h"

#include "BlockList.h"
#include "Ladder.h"
#include "LoginGate.h"
#include "PM.h"
#include "clan.h"
#include "common/ErrorLog.h"
#include "common/Version.h"
#include "friends.h"
#include "gui/Dialogs.h"
#include "gui/Registry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {
namespace {

QFrame* makeShape(QWidget* parent, const char* name) {
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    return f;
}

} // namespace

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent), Session(new TLobbySession(*this, this)),
      CurrentUser(Session->CurrentUser), LoginInfo(Session->LoginInfo),
      LbRijndael1(Session->LbRijndael1), WebBaseURL(Session->WebBaseURL) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("TARN Version: ") + QLatin1String(kClientVersion) +
                   QLatin1Char(' '));
    resize(1024, 700);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("LayoutClient"));
    setCentralWidget(central);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);

    // Lobby area: its views arrive with the community windows; the shapes
    // that carry the accent colour exist from the start.
    auto* lobby = new QWidget(central);
    lobby->setObjectName(QStringLiteral("LayoutLobby"));
    auto* lobbyLayout = new QVBoxLayout(lobby);
    RectangleRoomList = makeShape(lobby, "RectangleRoomList");
    RectangleProfile = makeShape(lobby, "RectangleProfile");
    RectangleEditYourProfile = makeShape(lobby, "RectangleEditYourProfile");
    for (QFrame* f : {RectangleRoomList, RectangleProfile, RectangleEditYourProfile}) {
        lobbyLayout->addWidget(f);
        f->hide();
    }
    lobbyLayout->addStretch();
    grid->addWidget(lobby, 0, 0);

    LoginGate = new TLoginGate(central);
    grid->addWidget(LoginGate, 0, 0);

    RectangleStatus = makeShape(central, "RectangleStatus");
    auto* status = new QVBoxLayout(RectangleStatus);
    status->addStretch();
    Text1 = new QLabel(connectingText(), RectangleStatus);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAlignment(Qt::AlignCenter);
    AniIndicator1 = new QProgressBar(RectangleStatus);
    AniIndicator1->setObjectName(QStringLiteral("AniIndicator1"));
    AniIndicator1->setTextVisible(false);
    AniIndicator1->setFixedWidth(240);
    AniIndicator1->setRange(0, 1);
    status->addWidget(Text1, 0, Qt::AlignHCenter);
    status->addWidget(AniIndicator1, 0, Qt::AlignHCenter);
    ButtonLogout = new QPushButton(QStringLiteral("Logout"), RectangleStatus);
    ButtonLogout->setObjectName(QStringLiteral("ButtonLogout"));
    ButtonLogout->hide();
    connect(ButtonLogout, &QPushButton::clicked, this, [this] { MenuItemLogoutClick(); });
    status->addWidget(ButtonLogout, 0, Qt::AlignHCenter);
    status->addStretch();
    RectangleStatus->hide();
}

TFormMain::~TFormMain() {
    // The session calls back into this window; end it first.
    delete Session;
    Session = nullptr;
}

// ---- Lobby session ----

void TFormMain::LoggedIn() {
    if (Settings.nonGamePort)
        Session->NonGamePort = Settings.nonGamePort();
    if (Settings.lobbyIPOverride)
        Session->LobbyIPOverride = Settings.lobbyIPOverride();
    Session->LoggedIn();
}

void TFormMain::DataToSend(const QString& SData) {
    Session->DataToSend(SData);
}

void TFormMain::MenuItemLogoutClick() {
    if (gui::AskYesNo(QStringLiteral("Are you sure you want to log out?")) == gui::Answer::Yes)
        logout();
}

void TFormMain::logout() {
    Session->logout();
}

bool TFormMain::IsLoggedIn() const {
    return Session->IsLoggedIn;
}

void TFormMain::setMissedKeepAlives(int count) {
    Session->MissedKeepAlives = count;
}

// ---- The window side of the session ----

bool TFormMain::IsStatusVisible() {
    return !RectangleStatus->isHidden();
}

void TFormMain::HideStatusAndGate() {
    hideStatus();
    LoginGate->hide();
}

void TFormMain::HideStatus() {
    hideStatus();
}

void TFormMain::ShowLostConnection() {
    showStatus(reconnectingText());
    Text1->show();
    ButtonLogout->show();
}

void TFormMain::SetLoginResponse(const QString& text) {
    LoginGate->LabelHttpResponse->setText(text);
}

void TFormMain::UncheckAutoLogin() {
    LoginGate->CheckBoxAutoLogin->setChecked(false);
}

void TFormMain::ShowGateAfterLogout() {
    RectangleStatus->setGeometry(centralWidget()->rect());
    RectangleStatus->show();
    LoginGate->show();
    LoginGate->raise();
    Text1->hide();
    ButtonLogout->hide();
    AniIndicator1->setRange(0, 1);
    LoginGate->ButtonSubmit->setEnabled(true);
    LoginGate->LabelHttpResponse->clear();
}

void TFormMain::ResetLoginRetry() {
    LoginGate->UseSavedHash = false;
}

void TFormMain::ResetStatusAfterLogout() {
    Text1->setText(connectingText());
    LoginGate->setRequestShown(false);
}

void TFormMain::SetCaptureEnabled(bool enabled) {
    if (Bridge.setCaptureEnabled)
        Bridge.setCaptureEnabled(enabled);
}

void TFormMain::CloseCap() {
    if (Bridge.closeCap)
        Bridge.closeCap();
}

void TFormMain::ChangeAdapter() {
    if (Bridge.changeAdapter)
        Bridge.changeAdapter();
}

void TFormMain::RemovePs2Mac(const QString& macHex) {
    if (Bridge.removePs2Mac)
        Bridge.removePs2Mac(macHex);
}

QString TFormMain::GameStatsGameName() {
    return Bridge.gameName ? Bridge.gameName() : QString();
}

void TFormMain::DeactivateUdpGame() {
    if (Bridge.deactivateUdpGame)
        Bridge.deactivateUdpGame();
}

void TFormMain::CloseSessionWindows() {
    const TGlobalRefs& g = Globals();
    const std::initializer_list<QWidget*> windows = {g.PMForm, g.FormClan, g.FormLadder,
                                                     g.FormBlockList, g.FormFriends};
    for (QWidget* w : windows)
        if (w)
            w->close();
    if (Bridge.closeOptionsWindow)
        Bridge.closeOptionsWindow();
}

void TFormMain::StoreServerTag(const QString& tag) {
    if (Settings.storeServerTag)
        Settings.storeServerTag(tag);
}

void TFormMain::StoreFallbackWebIP(const QString& address) {
    if (Settings.storeFallbackWebIP)
        Settings.storeFallbackWebIP(address);
}

void TFormMain::AppException(const QString& className, const QString& message) {
    ErrorLog().append(className + QLatin1Char(' ') + message);
}

std::array<QWidget*, 6> TFormMain::accentShapes() const {
    return {RectangleStatus,   LoginGate->RadiantGear1,
            RectangleRoomList, LoginGate->RectangleLogInStatus,
            RectangleProfile,  RectangleEditYourProfile};
}

void TFormMain::setComboColorBox1(const QColor& color) {
    ComboColorBox1 = color;
    const QString fill = QStringLiteral("rgba(%1, %2, %3, %4)")
                             .arg(color.red())
                             .arg(color.green())
                             .arg(color.blue())
                             .arg(color.alpha());
    for (QWidget* shape : accentShapes()) {
        shape->setProperty("fillColor", color);
        shape->setStyleSheet(
            QStringLiteral("#%1 { background-color: %2; }").arg(shape->objectName(), fill));
    }
}

void TFormMain::showStatus(const QString& text) {
    Text1->setText(text);
    Text1->show();
    RectangleStatus->setGeometry(centralWidget()->rect());
    RectangleStatus->show();
    RectangleStatus->raise();
    AniIndicator1->setRange(0, 0);
}

void TFormMain::hideStatus() {
    RectangleStatus->hide();
    AniIndicator1->setRange(0, 1);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // FormClose: tell the server we leave; nothing else is reset.
    if (Session->IsLoggedIn) {
        try {
            Session->DataToSend(QChar(0x09) + CurrentUser);
        } catch (const LobbyError& e) {
            AppException(e.className(), e.message());
        }
    }
    emit closing();
    event->accept();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RectangleStatus->setGeometry(centralWidget()->rect());
}

} // namespace tarn
