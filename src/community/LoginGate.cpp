#include "LoginGate.h"

#include "common/Version.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {
namespace {

constexpr int kNameAndPasswordLimit = 16;
constexpr int kEmailLimit = 255;

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& prompt, int limit,
                    bool password) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setPlaceholderText(prompt);
    e->setMaxLength(limit);
    if (password)
        e->setEchoMode(QLineEdit::Password);
    return e;
}

QLabel* makeHint(QWidget* parent, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    l->setProperty("hint", true);
    return l;
}

} // namespace

TLoginGate::TLoginGate(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("RectangleLoginGate"));
    setAutoFillBackground(true);

    auto* outer = new QGridLayout(this);
    PanelLoginGate = new QFrame(this);
    PanelLoginGate->setObjectName(QStringLiteral("PanelLoginGate"));
    PanelLoginGate->setFixedWidth(400);
    outer->addWidget(PanelLoginGate, 0, 0, Qt::AlignCenter);

    auto* panel = new QVBoxLayout(PanelLoginGate);

    TabControlLoginGate = new QTabWidget(PanelLoginGate);
    TabControlLoginGate->setObjectName(QStringLiteral("TabControlLoginGate"));
    TabItem1 = new QWidget;
    TabItem1->setObjectName(QStringLiteral("TabItem1"));
    TabItem2 = new QWidget;
    TabItem2->setObjectName(QStringLiteral("TabItem2"));
    TabControlLoginGate->addTab(TabItem1, QStringLiteral("Login"));
    TabControlLoginGate->addTab(TabItem2, QStringLiteral("Registry"));
    panel->addWidget(TabControlLoginGate);

    // Controls shared by both tabs; they move to whichever tab is active.
    EditUsername = makeEdit(PanelLoginGate, "EditUsername", QStringLiteral("Username"),
                            kNameAndPasswordLimit, false);
    EditPassword = makeEdit(PanelLoginGate, "EditPassword", QStringLiteral("Password"),
                            kNameAndPasswordLimit, true);
    ButtonSubmit = new QPushButton(QStringLiteral("Submit"), PanelLoginGate);
    ButtonSubmit->setObjectName(QStringLiteral("ButtonSubmit"));
    ButtonSubmit->setDefault(true);
    ButtonSubmit->setAutoDefault(true);

    buildLoginTab();
    buildRegistryTab();

    LabelHttpResponse = new QLabel(PanelLoginGate);
    LabelHttpResponse->setObjectName(QStringLiteral("LabelHttpResponse"));
    LabelHttpResponse->setWordWrap(true);
    LabelHttpResponse->setAlignment(Qt::AlignCenter);
    panel->addWidget(LabelHttpResponse);

    auto* bottom = new QHBoxLayout;
    LabelVersion = new QLabel(PanelLoginGate);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    LabelVersion->setText(QStringLiteral("TARN Version: ") + QLatin1String(kClientVersion));
    RadiantGear1 = new QToolButton(PanelLoginGate);
    RadiantGear1->setObjectName(QStringLiteral("RadiantGear1"));
    RadiantGear1->setText(QString(QChar(0x2699))); // gear
    RadiantGear1->setToolTip(QStringLiteral("Options"));
    RadiantGear1->setAutoRaise(true);
    bottom->addWidget(LabelVersion);
    bottom->addStretch();
    bottom->addWidget(RadiantGear1);
    panel->addLayout(bottom);
    connect(RadiantGear1, &QToolButton::clicked, this, &TLoginGate::optionsRequested);

    // "Request under way" overlay over the whole gate.
    RectangleLogInStatus = new QFrame(this);
    RectangleLogInStatus->setObjectName(QStringLiteral("RectangleLogInStatus"));
    auto* status = new QVBoxLayout(RectangleLogInStatus);
    status->addStretch();
    TextLGStatus = new QLabel(QStringLiteral("Connecting"), RectangleLogInStatus);
    TextLGStatus->setObjectName(QStringLiteral("TextLGStatus"));
    TextLGStatus->setAlignment(Qt::AlignCenter);
    AniIndicatorLogin = new QProgressBar(RectangleLogInStatus);
    AniIndicatorLogin->setObjectName(QStringLiteral("AniIndicatorLogin"));
    AniIndicatorLogin->setTextVisible(false);
    AniIndicatorLogin->setFixedWidth(200);
    AniIndicatorLogin->setRange(0, 1); // stopped; a 0..0 range animates it
    RadiantX2 = new QToolButton(RectangleLogInStatus);
    RadiantX2->setObjectName(QStringLiteral("RadiantX2"));
    RadiantX2->setText(QString(QChar(0x2715))); // cross
    RadiantX2->setToolTip(QStringLiteral("Abort"));
    RadiantX2->setStyleSheet(QStringLiteral("#RadiantX2 { color: red; font-weight: bold; }"));
    status->addWidget(TextLGStatus, 0, Qt::AlignHCenter);
    status->addWidget(AniIndicatorLogin, 0, Qt::AlignHCenter);
    status->addWidget(RadiantX2, 0, Qt::AlignHCenter);
    status->addStretch();
    RectangleLogInStatus->hide();
    connect(RadiantX2, &QToolButton::clicked, this, &TLoginGate::RadiantX2Click);

    // "Registry" is the tab selected in the layout.
    TabControlLoginGate->setCurrentWidget(TabItem2);
    TabControlLoginGateChange();
    connect(TabControlLoginGate, &QTabWidget::currentChanged, this,
            [this](int) { TabControlLoginGateChange(); });
    connect(TabControlLoginGate, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index == TabControlLoginGate->indexOf(TabItem1))
            TabItem1Click();
        else if (index == TabControlLoginGate->indexOf(TabItem2))
            TabItem2Click();
    });
}

void TLoginGate::buildLoginTab() {
    auto* l = new QVBoxLayout(TabItem1);
    loginSharedSlot_ = new QVBoxLayout;
    l->addLayout(loginSharedSlot_);
    CheckBoxAutoLogin = new QCheckBox(QStringLiteral("Enable Auto Login?"), TabItem1);
    CheckBoxAutoLogin->setObjectName(QStringLiteral("CheckBoxAutoLogin"));
    CheckBoxAutoLogin->setToolTip(QStringLiteral(
        "Auto Log in would save your password and auto log you in next time you start TARN."));
    l->addWidget(CheckBoxAutoLogin);
    LabelPWReset = new QLabel(QStringLiteral("Forgot Password?"), TabItem1);
    LabelPWReset->setObjectName(QStringLiteral("LabelPWReset"));
    LabelPWReset->setCursor(Qt::PointingHandCursor);
    LabelPWReset->installEventFilter(this);
    l->addWidget(LabelPWReset);
    loginButtonSlot_ = new QVBoxLayout;
    l->addLayout(loginButtonSlot_);
    l->addStretch();
}

void TLoginGate::buildRegistryTab() {
    auto* l = new QVBoxLayout(TabItem2);
    l->addWidget(makeHint(TabItem2, QStringLiteral("Username can contain A to Z, a to z, 0 to 9,  "
                                                   "and _. Max 16 characters long.")));
    registrySharedSlot_ = new QVBoxLayout;
    l->addLayout(registrySharedSlot_);
    l->addWidget(makeHint(TabItem2,
                          QStringLiteral("Your password can contain any character and up to 16 "
                                         "long. You would need to re-enter your password in the "
                                         "box below too.")));
    EditPasswordAgain = makeEdit(TabItem2, "EditPasswordAgain", QStringLiteral("Password confirm"),
                                 kNameAndPasswordLimit, true);
    l->addWidget(EditPasswordAgain);
    l->addWidget(makeHint(TabItem2,
                          QStringLiteral("Email Address is optional it use for password reset "
                                         "process. If you supply one you would need to re-trype "
                                         "it in the box below too.")));
    EditEmail = makeEdit(TabItem2, "EditEmail", QStringLiteral("Email"), kEmailLimit, false);
    EditEmailAgain =
        makeEdit(TabItem2, "EditEmailAgain", QStringLiteral("Email confirm"), kEmailLimit, false);
    l->addWidget(EditEmail);
    l->addWidget(EditEmailAgain);
    registryButtonSlot_ = new QVBoxLayout;
    l->addLayout(registryButtonSlot_);
    l->addStretch();
}

bool TLoginGate::registryTabActive() const {
    return TabControlLoginGate->tabText(TabControlLoginGate->currentIndex()) ==
           QStringLiteral("Registry");
}

void TLoginGate::moveSharedControls(QWidget* tab) {
    const bool login = tab == TabItem1;
    QVBoxLayout* shared = login ? loginSharedSlot_ : registrySharedSlot_;
    QVBoxLayout* button = login ? loginButtonSlot_ : registryButtonSlot_;
    for (QWidget* w : {static_cast<QWidget*>(EditUsername), static_cast<QWidget*>(EditPassword),
                       static_cast<QWidget*>(ButtonSubmit)}) {
        w->setParent(tab);
    }
    shared->addWidget(EditUsername);
    shared->addWidget(EditPassword);
    button->addWidget(ButtonSubmit);
    for (QWidget* w : {static_cast<QWidget*>(EditUsername), static_cast<QWidget*>(EditPassword),
                       static_cast<QWidget*>(ButtonSubmit)}) {
        w->show();
    }
}

void TLoginGate::TabControlLoginGateChange() {
    QWidget* tab = TabControlLoginGate->currentWidget();
    moveSharedControls(tab);
    if (tab == TabItem1) {
        QWidget::setTabOrder(EditUsername, EditPassword);
        QWidget::setTabOrder(EditPassword, CheckBoxAutoLogin);
        QWidget::setTabOrder(CheckBoxAutoLogin, ButtonSubmit);
    } else {
        QWidget::setTabOrder(EditUsername, EditPassword);
        QWidget::setTabOrder(EditPassword, EditPasswordAgain);
        QWidget::setTabOrder(EditPasswordAgain, EditEmail);
        QWidget::setTabOrder(EditEmail, EditEmailAgain);
        QWidget::setTabOrder(EditEmailAgain, ButtonSubmit);
    }
}

void TLoginGate::TabItem1Click() { Registering = false; }

void TLoginGate::TabItem2Click() {
    Registering = true;
    UseSavedHash = false;
}

void TLoginGate::setRequestShown(bool shown) {
    RectangleLogInStatus->setGeometry(rect());
    RectangleLogInStatus->setVisible(shown);
    if (shown)
        RectangleLogInStatus->raise();
    AniIndicatorLogin->setRange(0, shown ? 0 : 1);
}

void TLoginGate::LoginGateFinish() {
    UseSavedHash = false;
    setRequestShown(false);
}

void TLoginGate::RadiantX2Click() {
    LoginGateFinish();
    LoginAborted = true;
    ButtonSubmit->setEnabled(true);
    LabelHttpResponse->setText(QStringLiteral("Login Aborted By User Request"));
    setRequestShown(false);
}

bool TLoginGate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == LabelPWReset && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit passwordResetRequested();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TLoginGate::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    RectangleLogInStatus->setGeometry(rect());
}

} // namespace tarn
