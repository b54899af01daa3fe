// Start-up of the windows and modules, the capture library check, the
// application-wide error handler and the style rules, on the offscreen
// platform.
#include "common/ErrorLog.h"
#include "community/LoginGate.h"
#include "community/mainUI.h"
#include "gui/Dialogs.h"
#include "gui/Registry.h"
#include "shell/CaptureCheck.h"
#include "shell/ClientSettings.h"
#include "shell/StartUp.h"
#include "shell/TarnApplication.h"
#include "shell/account.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QWidget>
#include <stdexcept>

using namespace tarn;

namespace {

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetClientSettingsForTest();
        gui::setScripted(true);
        qApp->setStyleSheet(QString());
    }
    void TearDown() override {
        gui::setScripted(false);
        qApp->setStyleSheet(QString());
    }
};

QColor fillOf(QWidget* w) {
    return w->property("fillColor").value<QColor>();
}

} // namespace

TEST_F(StartUpTest, CreatesEveryObjectOnceInTableOrderWithItsCaption) {
    TStartUp startUp;
    startUp.CreateForms();
    EXPECT_EQ(startUp.creationLog(), TStartUp::creationOrder());
    EXPECT_EQ(startUp.creationLog().size(), 21);
    EXPECT_TRUE(gui::takeShownTexts().isEmpty());

    const TGlobalRefs& g = Globals();
    EXPECT_EQ(g.FormMain->windowTitle(), QStringLiteral("TARN Version: 0.95f "));
    EXPECT_EQ(g.Form1->windowTitle(), QStringLiteral("Sign up/Log in"));
    EXPECT_FALSE(g.Form1->isVisible());
    EXPECT_NE(g.DataModule2, nullptr);
    EXPECT_NE(g.FormOptions, nullptr);
    EXPECT_NE(g.Form7, nullptr);
}

TEST_F(StartUpTest, TopLevelWindowsCarryTheirCaptions) {
    TStartUp startUp;
    startUp.CreateForms();
    const std::pair<const char*, const char*> expected[] = {
        {"FormBlockList", "Block List"},
        {"FormFriends", "Friends"},
        {"FormLeaderBoard", "Leaderboard"},
        {"PMForm", "Private Message"},
        {"FormOptions", "Account Settings/Options"},
        {"MPinstaller", "SOCOM3/CA Map Pack Installer"},
        {"FormLadder", "Ladder"},
        {"FormGolden", "Get Golden"},
        {"Feedback", "Feedback"},
        {"FormClan", "Clan"},
        {"FormAutoUpdate", "TARN Auto Updater"},
        {"Form7", "About"},
    };
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (const auto& [name, caption] : expected) {
        QWidget* found = nullptr;
        for (QWidget* w : tops) {
            if (w->objectName() == QLatin1String(name))
                found = w;
        }
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(found->windowTitle(), QString::fromUtf8(caption)) << name;
        EXPECT_TRUE(found->isWindow()) << name;
    }
}

TEST_F(StartUpTest, FailingGuardedStepShowsItsMessageAndStartUpGoesOn) {
    struct Case {
        int step;
        const char* reference;
        QString message;
    };
    const Case cases[] = {
        {9, "DataModule2",
         QStringLiteral("Failed to initialize game traffic module! Do you have Winpcap install "
                        "and running?")},
        {13, "FormOptions",
         QStringLiteral("Failed to initialize game sniffer settings! If this continues try "
                        "sending email to ") +
             SupportEmailAddress()},
    };
    for (const Case& c : cases) {
        TStartUp::Hooks hooks;
        hooks.beforeStep = [&](int step, const QString&) {
            if (step == c.step)
                throw std::runtime_error("module failed");
        };
        TStartUp startUp(hooks);
        startUp.CreateForms();
        QStringList expected = TStartUp::creationOrder();
        expected.removeAll(QLatin1String(c.reference));
        EXPECT_EQ(startUp.creationLog(), expected) << c.step;
        EXPECT_EQ(gui::takeShownTexts(), QStringList{c.message}) << c.step;
        EXPECT_NE(Globals().Form7, nullptr);
    }
    EXPECT_EQ(Globals().Form7, nullptr); // cleared when start-up is destroyed
}

TEST_F(StartUpTest, FailureInAnUnguardedStepIsNotCaught) {
    TStartUp::Hooks hooks;
    hooks.beforeStep = [](int step, const QString&) {
        if (step == 5)
            throw std::runtime_error("leaderboard failed");
    };
    TStartUp startUp(hooks);
    EXPECT_THROW(startUp.CreateForms(), std::runtime_error);
    EXPECT_EQ(startUp.creationLog().size(), 4);
}

TEST_F(StartUpTest, StartingWithoutSavingLeavesNoSettingsFile) {
    {
        TStartUp startUp;
        startUp.CreateForms();
        ASSERT_FALSE(DataFolderPath.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(ClientSettingsFilePath()));
}

TEST_F(StartUpTest, NewSettingsStartInTransparentWithItsAccentOnTheSixShapes) {
    TStartUp startUp;
    startUp.CreateForms();
    TFormMain* main = Globals().FormMain;
    EXPECT_EQ(CurrentStyleName(), QStringLiteral("Transparent"));
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    for (QWidget* shape : main->accentShapes())
        EXPECT_EQ(fillOf(shape).rgba(), 0xFF15A6E5u) << shape->objectName().toStdString();

    // The opaque accent is what the status overlay actually paints.
    main->resize(400, 300);
    main->showStatus(TFormMain::connectingText());
    const QImage image = main->RectangleStatus->grab().toImage();
    EXPECT_EQ(image.pixelColor(2, 2).rgb(), QColor::fromRgba(0xFF15A6E5u).rgb());
    main->hideStatus();
}

TEST_F(StartUpTest, StyleAndAccentRules) {
    TStartUp startUp;
    startUp.CreateForms();
    TForm1* form1 = Globals().Form1;
    TFormMain* main = Globals().FormMain;
    auto accent = [&] { return fillOf(main->accentShapes()[0]).rgba(); };

    form1->ChangeSTyle(QStringLiteral("Sterling"));
    EXPECT_EQ(accent(), 0x90C6C2CFu);
    const QString sterlingSheet = qApp->styleSheet();

    form1->ChangeSTyle(QStringLiteral("Jet"));
    EXPECT_EQ(accent(), 0x84040004u);
    const QString jetSheet = qApp->styleSheet();
    EXPECT_NE(jetSheet, sterlingSheet);

    // No resource matches "Native GUI": the Jet look stays, the accent is the default.
    form1->ChangeSTyle(QStringLiteral("Native GUI"));
    EXPECT_EQ(qApp->styleSheet(), jetSheet);
    EXPECT_EQ(accent(), 0xFFD8BFD8u);
    EXPECT_EQ(CurrentStyleName(), QStringLiteral("Native GUI"));

    // Lower-case "jet" finds the JET resource but not the accent of "Jet".
    form1->ChangeSTyle(QStringLiteral("Sterling"));
    form1->ChangeSTyle(QStringLiteral("jet"));
    EXPECT_EQ(qApp->styleSheet(), jetSheet);
    EXPECT_EQ(accent(), 0xFFD8BFD8u);
}

TEST_F(StartUpTest, SavedNativeGuiStartsWithTheDefaultLook) {
    LoadClientSettings();
    ClientSettings.setStyleName(QStringLiteral("Native GUI"));
    ClientSettings.setStyleIndex(14);
    ASSERT_TRUE(SaveClientSettings());
    ResetClientSettingsForTest();

    TStartUp startUp;
    startUp.CreateForms();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(fillOf(Globals().FormMain->accentShapes()[5]).rgba(), 0xFFD8BFD8u);
}

TEST(CaptureCheck, AnswersDecideWhetherTheProgramStarts) {
    struct Case {
        bool loadable;
        gui::Answer answer;
        QStringList installCommand;
        StartDecision decision;
        QStringList shown; // after the question itself
        bool installerStarted;
    };
    const QString question = QStringLiteral(
        "Winpcap does not appear to be install do you want to install it now? Winpcap is "
        "require for TARN to function.");
    const QString exiting = QStringLiteral(
        "Tarn is exiting. After you finish Winpcap installation you can start Tarn again and it "
        "should work!");
    const QString mustInstall = QStringLiteral(
        "You must install Winpcap, or NPcap in winpcap compatibility mode for TARN to be able to "
        "function. ");
    const QStringList apt = {QStringLiteral("apt-get"), QStringLiteral("install"),
                             QStringLiteral("-y"), QStringLiteral("libpcap0.8")};
    const Case cases[] = {
        {true, gui::Answer::No, apt, StartDecision::Continue, {}, false},
        {false, gui::Answer::No, apt, StartDecision::Exit, {mustInstall}, false},
        {false, gui::Answer::Closed, apt, StartDecision::Continue, {}, false},
        {false, gui::Answer::Yes, apt, StartDecision::Exit, {exiting}, true},
    };
    gui::setScripted(true);
    for (const Case& c : cases) {
        bool started = false;
        CaptureCheckEnv env;
        env.libraryLoadable = [&] { return c.loadable; };
        env.installCommand = [&] { return c.installCommand; };
        env.runElevated = [&](const QString& program, const QStringList& args) {
            started = program == c.installCommand.first() && args == c.installCommand.mid(1);
            return false; // a failed start exits all the same
        };
        gui::setNextAnswer(c.answer);
        EXPECT_EQ(CheckCaptureLibrary(env), c.decision);
        QStringList expected = c.shown;
        if (!c.loadable)
            expected.prepend(question);
        EXPECT_EQ(gui::takeShownTexts(), expected);
        EXPECT_EQ(started, c.installerStarted);
        gui::setScripted(true);
    }

    // No installer known for this system: the project's address instead.
    CaptureCheckEnv env;
    env.libraryLoadable = [] { return false; };
    env.installCommand = [] { return QStringList(); };
    env.runElevated = [](const QString&, const QStringList&) {
        ADD_FAILURE() << "nothing to start";
        return false;
    };
    gui::setNextAnswer(gui::Answer::Yes);
    EXPECT_EQ(CheckCaptureLibrary(env), StartDecision::Exit);
    const QStringList shown = gui::takeShownTexts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].startsWith(
        QStringLiteral("Unable to locate WinPcap installer you can download it at http")));
    gui::setScripted(false);
}

TEST(AppException, EscapedExceptionBecomesOneErrorLogLine) {
    TFormMain main;
    ErrorLog().clear();
    TarnApplication::ExceptionHandler handler = [&](const QString& cls, const QString& msg) {
        main.AppException(cls, msg);
    };
    EXPECT_FALSE(RunGuarded([]() -> bool { throw std::runtime_error("socket closed"); }, handler));
    EXPECT_TRUE(RunGuarded([] { return true; }, handler));
    EXPECT_EQ(ErrorLog(), QStringList{QStringLiteral("std::runtime_error socket closed")});
}
