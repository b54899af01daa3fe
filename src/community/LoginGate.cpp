#include "LoginGate.h"

#include "common/AnsiCodec.h"
#include "common/NetText.h"
#include "common/Version.h"
#include "gui/Dialogs.h"
#include "gui/Registry.h"
#include "lobby/Endpoints.h"
#include "lobby/HTTPmodule.h"
#include "lobby/LobbyCipher.h"
#include "mainUI.h"
#include "platform/ShellFolders.h"
#include "shell/AutoUpdate.h"
#include "shell/ClientSettings.h"

#include <QFile>
#include <QStringDecoder>

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
// A block list larger than this is not read.
constexpr qint64 kBlockListFileCap = 1024 * 1024;

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

    NetHTTPClient1 = new TAccountHttpClient(this);
    connect(ButtonSubmit, &QPushButton::clicked, this, &TLoginGate::ButtonSubmitClick);
    for (QLineEdit* e :
         {EditUsername, EditPassword, EditPasswordAgain, EditEmail, EditEmailAgain}) {
        connect(e, &QLineEdit::returnPressed, this, [this] {
            if (ButtonSubmit->isEnabled())
                ButtonSubmitClick();
        });
    }

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
    l->addWidget(
        makeHint(TabItem2, QStringLiteral("Your password can contain any character and up to 16 "
                                          "long. You would need to re-enter your password in the "
                                          "box below too.")));
    EditPasswordAgain = makeEdit(TabItem2, "EditPasswordAgain", QStringLiteral("Password confirm"),
                                 kNameAndPasswordLimit, true);
    l->addWidget(EditPasswordAgain);
    l->addWidget(
        makeHint(TabItem2, QStringLiteral("Email Address is optional it use for password reset "
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

void TLoginGate::TabItem1Click() {
    Registering = false;
}

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
    if (request_)
        request_->abort(); // a reply that would still arrive is dropped
    request_ = nullptr;
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
        LabelPWResetClick();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TLoginGate::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    RectangleLogInStatus->setGeometry(rect());
}

void TLoginGate::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    if (shownOnce_ || !mainWindow())
        return;
    shownOnce_ = true;
    // After the event: the window finishes showing before a request starts.
    QMetaObject::invokeMethod(this, &TLoginGate::AutomaticLogin, Qt::QueuedConnection);
}

// ---- The session side ----

TFormMain* TLoginGate::mainWindow() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* main = qobject_cast<TFormMain*>(w))
            return main;
    }
    return nullptr;
}

QString TLoginGate::webBaseURL() const {
    TFormMain* main = mainWindow();
    return main ? main->WebBaseURL : QString();
}

void TLoginGate::setWebBaseURL(const QString& url) {
    if (TFormMain* main = mainWindow())
        main->WebBaseURL = url;
}

bool TLoginGate::AccountSelfCheck() {
    auto fail = [this](const char* text, QLineEdit* field) {
        LabelHttpResponse->setText(QString::fromLatin1(text));
        field->setFocus();
        return false;
    };
    Registering = registryTabActive();
    if (Registering && EditPassword->text().size() < 4)
        return fail("Password much be four, or more characters", EditPassword);
    if (Registering && EditPassword->text() != EditPasswordAgain->text())
        return fail("Password must match Password confirm.", EditPasswordAgain);
    if (!EditEmail->text().isEmpty() && EditEmail->text() != EditEmailAgain->text())
        return fail("Email and Email confirm must match.", EditEmailAgain);
    if (EditUsername->text().isEmpty())
        return fail("Username name field blank.", EditUsername);
    if (EditUsername->text() == ClientSettings.savedUsername() && EditPassword->text().isEmpty() &&
        !ClientSettings.passwordHash().isEmpty())
        UseSavedHash = true;
    if (EditPassword->text().isEmpty() && !UseSavedHash)
        return fail("Password name field blank.", EditPassword);
    return true;
}

void TLoginGate::ButtonSubmitClick() {
    TFormMain* main = mainWindow();
    if ((main && main->IsLoggedIn()) || !AccountSelfCheck())
        return;
    LoginAborted = false;
    ButtonSubmit->setEnabled(false);
    setRequestShown(true);

    TLoginFormInput in;
    in.Account = EditUsername->text();
    if (Owners.Ps2MacList)
        in.ConsoleMacList = Owners.Ps2MacList();
    in.AuthCode = MachineId;
    if (UseSavedHash) {
        in.Kind = TLoginFormKind::SavedHash;
        in.SavedHash = ClientSettings.passwordHash();
    } else if (Registering) {
        in.Kind = TLoginFormKind::Registering;
        in.Password = EditPassword->text();
        in.PasswordAgain = EditPasswordAgain->text();
        in.Email = EditEmail->text();
        in.EmailAgain = EditEmailAgain->text();
    } else {
        in.Kind = TLoginFormKind::Plain;
        in.Password = EditPassword->text();
    }
    lastForm_ = BuildLoginForm(in);

    if (request_)
        request_->abort();
    lastUrl_ = QUrl(webBaseURL() + QLatin1String(kAuthScriptPath));
    ++requestsSent_;
    request_ = NetHTTPClient1->PostForm(lastUrl_, lastForm_);
    connect(request_, &TAccountRequest::finished, this, [this](const THttpResult& r) {
        request_ = nullptr;
        if (r.answered())
            NetHTTPRequest1RequestCompleted(r.Body);
        else
            NetHTTPRequest1RequestError(r.Error);
    });
}

void TLoginGate::NetHTTPRequest1RequestCompleted(const QByteArray& body) {
    TFormMain* main = mainWindow();
    if ((main && main->IsLoggedIn()) || LoginAborted)
        return;
    const TLoginReply reply = ReadLoginReply(BodyText(body));
    if (reply.Outcome == QLatin1String("SUSS")) {
        loginSucceeded(reply);
        return;
    }
    if (reply.Outcome == QLatin1String("New update require to log in")) {
        // Without an update window the main window stays: hiding it would
        // leave the user with no window at all.
        if (TFormAutoUpdate* update = Globals().FormAutoUpdate) {
            if (main)
                main->hide();
            update->show();
        }
        LoginGateFinish();
        return;
    }
    UseSavedHash = false;
    ButtonSubmit->setEnabled(true);
    LabelHttpResponse->setText(reply.Outcome);
    setRequestShown(false);
    if (main)
        main->session()->Timer1.stop();
    LoginGateFinish();
}

void TLoginGate::loginSucceeded(const TLoginReply& reply) {
    TFormMain* main = mainWindow();
    if (!main) {
        LoginGateFinish();
        return;
    }
    // 1. Session data and the lobby cipher key.
    TLogin& info = main->LoginInfo;
    info.ResponseCode = reply.Outcome;
    if (reply.count() > 2) {
        info.Ssid = reply.value(1);
        info.Key = reply.value(2);
        if (reply.count() >= 9) {
            info.Email = reply.value(3);
            info.EmailSettings = reply.value(4);
            info.S2Ip = reply.value(5);
            info.CaIp = reply.value(6);
            info.NgtIp = reply.value(7);
            info.BackUpIp = reply.value(8);
            info.NewCap = reply.value(9) == QLatin1String("true");
        }
        main->LbRijndael1.GenerateKey(info.Key);
    }
    // 2-4. The lobby channel and the hello.
    main->LoggedIn();
    main->CurrentUser = EditUsername->text();
    try {
        main->DataToSend(QChar(0x05) + QStringLiteral(";") + main->CurrentUser +
                         QStringLiteral(";") + info.Ssid + QStringLiteral(";"));
    } catch (const LobbyError& e) {
        // The keep-alive notices a dead channel; the login goes on.
        main->AppException(e.className(), e.message());
    }
    // 5. Keep-alive and bridge timer.
    main->setMissedKeepAlives(4);
    if (Owners.EnableBridgeTimer)
        Owners.EnableBridgeTimer();
    // 6. The in-game welcome rooms.
    if (Owners.StoreWelcomeRooms)
        Owners.StoreWelcomeRooms(QStringLiteral("Welcome ") + main->CurrentUser +
                                 QStringLiteral("!"));
    // 7. User name and, for automatic login, the hash.
    ClientSettings.setSavedUsername(EditUsername->text().left(16));
    if (CheckBoxAutoLogin->isChecked() && !EditPassword->text().isEmpty())
        ClientSettings.setPasswordHash(PasswordHash(EditPassword->text()));
    SaveClientSettings();
    // 8. One-time loading.
    if (!FirstLoginDone)
        firstLoginSteps();
    // 9. Hand over to the lobby.
    if (!isHidden()) {
        hide();
        setRequestShown(false);
        main->showStatus(TFormMain::connectingText());
    } else {
        main->MenuItemLogoutClick();
        LabelHttpResponse->setText(QStringLiteral("Login Aborted By User Request"));
    }
    // 10.
    FirstLoginDone = true;
    FallbackRetries = 0;
    setRequestShown(false);
    LoginGateFinish();
}

namespace {

// The block list file: the system's ANSI code page unless a byte-order mark
// says otherwise; one name a line.
QStringList readNameFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.read(kBlockListFileCap);
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
        bytes.startsWith("\xFE\xFF")) {
        auto encoding = QStringConverter::encodingForData(bytes);
        QStringDecoder decode(encoding.value_or(QStringConverter::Utf8));
        text = decode(bytes);
        if (!text.isEmpty() && text.front() == QChar(0xFEFF))
            text.remove(0, 1);
    } else {
        text = StringFromAnsi(bytes);
    }
    return ParseNameLines(text);
}

} // namespace

void TLoginGate::firstLoginSteps() {
    // 1. The data folder.
    if (ClientSettings.dataFolder().isEmpty())
        ClientSettings.setDataFolder(
            (platform::GetSpecialFolder(platform::CSIDL_LOCAL_APPDATA) + QStringLiteral("/TARN"))
                .left(128));
    // 2. The block list, each name marked blocked from the last line up.
    const QString blockPath = ClientSettings.dataFolder() + QStringLiteral("/BlockList.txt");
    if (QFile::exists(blockPath)) {
        const QStringList names = readNameFile(blockPath);
        if (Owners.SetBlockList)
            Owners.SetBlockList(names);
        if (Owners.AssignUser) {
            for (qsizetype i = names.size() - 1; i >= 0; --i)
                Owners.AssignUser(names.at(i), QString(), QLatin1Char('b'));
        }
    }
    // 3. The capture adapters, or the XLink Kai import.
    const QString adapter = ClientSettings.adapterName();
    if (!adapter.isEmpty()) {
        try {
            if (Owners.ChangeAdapter)
                Owners.ChangeAdapter(adapter);
            const QString psp = ClientSettings.pspAdapterName();
            if (!psp.isEmpty() && Owners.PSPAdapterChange)
                Owners.PSPAdapterChange(psp);
        } catch (const std::exception&) {
            // A failed adapter selection never stops a login.
        }
    } else if (Owners.ImportKaiAdapter) {
        Owners.ImportKaiAdapter();
    }
    // 4. The VIP list.
    const THttpResult vip =
        NetHTTPClient1->GetSync(QUrl(webBaseURL() + QLatin1String(kVipListScriptPath)));
    if (vip.Status == 200) {
        const QStringList names = ParseNameLines(BodyText(vip.Body));
        if (Owners.SetVipList)
            Owners.SetVipList(names);
        if (Owners.AssignUser) {
            for (qsizetype i = names.size() - 1; i >= 0; --i)
                Owners.AssignUser(names.at(i), QString(), QLatin1Char('v'));
        }
    }
}

void TLoginGate::NetHTTPRequest1RequestError(const TTransportError& error) {
    if (error.CannotConnect) {
        const QString fallback = ClientSettings.savedFallbackWebIP();
        if (!fallback.isEmpty() && IsValidIPv4(fallback)) {
            if (FallbackRetries == 0) {
                setWebBaseURL(FallbackWebBaseURL(fallback));
                ++FallbackRetries;
                ButtonSubmitClick();
                if (requestPending())
                    return;
                // The checks refused the retry (the fields were changed while
                // the request was under way): end the request state instead
                // of leaving the gate waiting for nothing.
                setWebBaseURL(Endpoints().webBaseUrl());
                FallbackRetries = 0;
                showConnectionError();
                return;
            }
            setWebBaseURL(Endpoints().webBaseUrl());
            FallbackRetries = 0;
        }
    }
    showConnectionError();
}

void TLoginGate::showConnectionError() {
    LabelHttpResponse->setText(QStringLiteral("Connection Error!"));
    LoginAborted = true;
    ButtonSubmit->setEnabled(true);
    setRequestShown(false);
}

void TLoginGate::AutomaticLogin() {
    EditUsername->setText(ClientSettings.savedUsername());
    if (!EditUsername->text().isEmpty())
        TabControlLoginGate->setCurrentWidget(TabItem1);
    if (!ClientSettings.passwordHash().isEmpty())
        CheckBoxAutoLogin->setChecked(true);
    if (UseSavedHash)
        ButtonSubmitClick();
}

void TLoginGate::LabelPWResetClick() {
    const QString email = gui::InputBox(
        QStringLiteral("Password Reset"),
        QStringLiteral("Type in your email address registry with this account in order to reset "
                       "your password."),
        QString());
    if (email.isEmpty())
        return;
    THttpsModule* https = Globals().HttpsModule;
    if (https == nullptr) {
        if (ownHttps_ == nullptr)
            ownHttps_ = new THttpsModule(this);
        https = ownHttps_;
    }
    QString response;
    https->HTTPsPost(
        webBaseURL() + QLatin1String(kPasswordResetScriptPath),
        {QStringLiteral("account=") + EditUsername->text(), QStringLiteral("email=") + email},
        response);
    gui::ShowMessage(response);
}

} // namespace tarn
