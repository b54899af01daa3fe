#include "StartUp.h"

#include "AutoUpdate.h"
#include "ClientSettings.h"
#include "TarnApplication.h"
#include "about.h"
#include "account.h"
#include "bridge/PspAdHoc.h"
#include "bridge/SnifferModule.h"
#include "common/UdpSocket.h"
#include "community/BlockList.h"
#include "community/Feedback2.h"
#include "community/Ladder.h"
#include "community/LoginGate.h"
#include "community/PM.h"
#include "community/clan.h"
#include "community/friends.h"
#include "community/golden.h"
#include "community/leaderboard.h"
#include "community/mainUI.h"
#include "community/report.h"
#include "community/website.h"
#include "emulator/Pcsx2Module.h"
#include "emulator/mpi.h"
#include "gui/Dialogs.h"
#include "gui/Registry.h"
#include "lobby/ClientObjectServerConnector.h"
#include "lobby/Endpoints.h"
#include "lobby/HTTPmodule.h"
#include "options.h"

#include <QApplication>
#include <exception>

namespace tarn {

QString SupportEmailAddress() {
    return Endpoints().SupportEmail;
}

TStartUp::TStartUp() = default;
TStartUp::TStartUp(Hooks hooks) : hooks_(std::move(hooks)) {}

TStartUp::~TStartUp() {
    // Reverse creation order; the main window goes last.
    while (!owned_.empty())
        owned_.pop_back();
    Globals() = TGlobalRefs{};
}

template <typename T> T* TStartUp::own(T* object) {
    owned_.emplace_back(object);
    log_.append(object->objectName());
    return object;
}

QStringList TStartUp::creationOrder() {
    return {QStringLiteral("FormMain"),
            QStringLiteral("Form1"),
            QStringLiteral("FormBlockList"),
            QStringLiteral("FormFriends"),
            QStringLiteral("FormLeaderBoard"),
            QStringLiteral("PspAdHocModule"),
            QStringLiteral("DataModulePcsx2"),
            QStringLiteral("DataModuleClientObject"),
            QStringLiteral("DataModule2"),
            QStringLiteral("FormWebsite"),
            QStringLiteral("FormReport"),
            QStringLiteral("PMForm"),
            QStringLiteral("FormOptions"),
            QStringLiteral("MPinstaller"),
            QStringLiteral("FormLadder"),
            QStringLiteral("HttpsModule"),
            QStringLiteral("FormGolden"),
            QStringLiteral("Feedback"),
            QStringLiteral("FormClan"),
            QStringLiteral("FormAutoUpdate"),
            QStringLiteral("Form7")};
}

void TStartUp::CreateForms() {
    TGlobalRefs& g = Globals();
    const QStringList order = creationOrder();
    auto before = [&](int step) {
        if (hooks_.beforeStep)
            hooks_.beforeStep(step, order.at(step - 1));
    };
    auto guarded = [&](int step, const QString& failureText, const std::function<void()>& create) {
        try {
            before(step);
            create();
        } catch (const std::exception&) {
            gui::ShowMessage(failureText);
        }
    };

    before(1);
    g.FormMain = own(new TFormMain);
    if (auto* app = qobject_cast<TarnApplication*>(QCoreApplication::instance())) {
        TFormMain* main = g.FormMain;
        app->setExceptionHandler(
            [main](const QString& cls, const QString& msg) { main->AppException(cls, msg); });
    }

    before(2);
    g.Form1 = own(new TForm1);
    g.Form1->FormCreate();
    // The settings load has fixed the data folder: read the endpoint table
    // once and let the main window reach the settings it needs at login.
    LoadEndpoints(DataFolderPath);
    g.FormMain->WebBaseURL = Endpoints().webBaseUrl();
    g.FormMain->Settings.nonGamePort = [] { return ClientSettings.nonGamePort(); };
    g.FormMain->Settings.lobbyIPOverride = [] { return ClientSettings.lobbyIPOverride(); };
    g.FormMain->Settings.storeServerTag = [](const QString& tag) {
        ClientSettings.setServerTag(tag);
        SaveClientSettings();
    };
    g.FormMain->Settings.storeFallbackWebIP = [](const QString& address) {
        ClientSettings.setSavedFallbackWebIP(address);
        SaveClientSettings();
    };

    before(3);
    g.FormBlockList = own(new TFormBlockList);
    before(4);
    g.FormFriends = own(new TFormFriends);
    before(5);
    g.FormLeaderBoard = own(new TFormLeaderBoard);
    before(6);
    g.PspAdHocModule = own(new TPspAdHocModule);
    before(7);
    g.DataModulePcsx2 = own(new TDataModulePcsx2);
    before(8);
    g.DataModuleClientObject = own(new TDataModuleClientObject);

    guarded(9,
            QStringLiteral("Failed to initialize game traffic module! Do you have Winpcap "
                           "install and running?"),
            [&] {
                // The bridge takes the data folder and its relay port from the
                // settings loaded at step 2; its notices go to the message box.
                BridgeSettings().DataFolder = DataFolderPath;
                BridgeSettings().GameTrafficPort = ClientSettings.gameTrafficPort();
                SetCaptureMessageHandler([](const QString& text) { gui::ShowMessage(text); });
                g.DataModule2 = own(new TDataModule2);
            });
    // The lobby's commands and keep-alive reach the bridge through these.
    if (TDataModule2* bridge = g.DataModule2) {
        TFormMain::BridgeAccess& lobby = g.FormMain->Bridge;
        lobby.setCaptureEnabled = [](bool on) { CaptureEnabled = on; };
        lobby.closeCap = [bridge] { bridge->CloseCap(); };
        lobby.changeAdapter = [bridge] { bridge->ChangeAdapter(ClientSettings.adapterName()); };
        lobby.removePs2Mac = [bridge](const QString& mac) { bridge->RemovePs2Mac(mac); };
        lobby.gameName = [bridge] { return bridge->GameStats.GameName; };
        lobby.deactivateUdpGame = [bridge] {
            if (bridge->UdpGame)
                bridge->UdpGame->close();
        };
    }
    // The login sends the console list, selects the saved adapter and starts
    // the bridge timer through the bridge module.
    if (TDataModule2* bridge = g.DataModule2) {
        TLoginOwners& login = g.FormMain->LoginGate->Owners;
        login.Ps2MacList = [bridge] { return bridge->Ps2MacList; };
        login.ChangeAdapter = [bridge](const QString& name) { bridge->ChangeAdapter(name); };
        login.EnableBridgeTimer = [bridge] { bridge->BridgeTimer->start(); };
        // The PSP adapter goes by its position in the bridge's device list.
        if (TPspAdHocModule* psp = g.PspAdHocModule) {
            login.PSPAdapterChange = [bridge, psp](const QString& name) {
                const int position =
                    bridge->GameTraffic ? bridge->GameTraffic->AdapterNames().indexOf(name) : -1;
                if (position >= 0)
                    psp->PSPAdapterChange(position);
            };
        }
    }

    before(10);
    g.FormWebsite = own(new TFormWebsite);
    before(11);
    g.FormReport = own(new TFormReport);
    before(12);
    g.PMForm = own(new TPMForm);

    guarded(13,
            QStringLiteral("Failed to initialize game sniffer settings! If this continues try "
                           "sending email to ") +
                SupportEmailAddress(),
            [&] { g.FormOptions = own(new TFormOptions); });
    g.FormMain->Bridge.closeOptionsWindow = [] {
        if (TFormOptions* options = Globals().FormOptions)
            options->close();
    };

    before(14);
    g.MPinstaller = own(new TMPinstaller);
    before(15);
    g.FormLadder = own(new TFormLadder);
    before(16);
    g.HttpsModule = own(new THttpsModule);
    before(17);
    g.FormGolden = own(new TFormGolden);
    before(18);
    g.Feedback = own(new TFeedback);
    before(19);
    g.FormClan = own(new TFormClan);
    before(20);
    g.FormAutoUpdate = own(new TFormAutoUpdate);
    before(21);
    g.Form7 = own(new TForm7);
}

} // namespace tarn
