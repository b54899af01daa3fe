#include "mainUI.h"

#include "LoginGate.h"
#include "common/ErrorLog.h"
#include "common/Version.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
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

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
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
    status->addStretch();
    RectangleStatus->hide();
}

void TFormMain::AppException(const QString& className, const QString& message) {
    ErrorLog().append(className + QLatin1Char(' ') + message);
}

std::array<QWidget*, 6> TFormMain::accentShapes() const {
    return {RectangleStatus,   LoginGate->RadiantGear1, RectangleRoomList,
            LoginGate->RectangleLogInStatus, RectangleProfile, RectangleEditYourProfile};
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
        shape->setStyleSheet(QStringLiteral("#%1 { background-color: %2; }")
                                 .arg(shape->objectName(), fill));
    }
}

void TFormMain::showStatus(const QString& text) {
    Text1->setText(text);
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
    emit closing();
    event->accept();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RectangleStatus->setGeometry(centralWidget()->rect());
}

} // namespace tarn
