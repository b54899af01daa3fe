// Test entry point: creates the Qt application object the code under test
// expects and turns Qt warnings into test failures, so that a warning the
// code provokes is seen instead of scrolling past.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifdef TARN_TEST_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

namespace {

// Messages of the platform plugin that say nothing about our code.
bool isBenign(const QString& msg) {
    static const char* const benign[] = {
        "This plugin does not support",
        "QStandardPaths: XDG_RUNTIME_DIR",
        "propagateSizeHints",
    };
    for (const char* b : benign) {
        if (msg.contains(QLatin1String(b)))
            return true;
    }
    return false;
}

void failOnWarning(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (isBenign(msg))
        return;
    if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
        ADD_FAILURE() << "Qt message: " << msg.toStdString();
    } else {
        fprintf(stderr, "Qt message outside a test: %s\n", qPrintable(msg));
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

// Every test process gets folders of its own, so that no test reads or
// writes the user's real data folder, lock file or settings.
void isolateUserFolders() {
    char tmpl[] = "/tmp/tarn-test-XXXXXX";
    const char* root = mkdtemp(tmpl);
    if (root == nullptr)
        return;
    const std::string base(root);
    for (const char* sub : {"data", "config", "runtime", "home"}) {
        const std::string dir = base + "/" + sub;
        mkdir(dir.c_str(), 0700);
    }
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (base + "/runtime").c_str(), 1);
    setenv("TARN_TEST_ROOT", base.c_str(), 1);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("TARN_TEST_KEEP_FOLDERS"))
        isolateUserFolders();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef TARN_TEST_GUI
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    qInstallMessageHandler(failOnWarning);
    return RUN_ALL_TESTS();
}
