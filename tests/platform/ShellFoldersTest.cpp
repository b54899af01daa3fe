#include "platform/ShellFolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tarn::platform;

namespace {

// Sets environment variables for one test and puts the old values back.
class Env {
public:
    void set(const char* name, const QByteArray& value) {
        saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, value);
    }
    ~Env() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    std::vector<Saved> saved_;
};

TEST(ShellFolders, FollowTheXdgVariables) {
    Env env;
    env.set("XDG_DATA_HOME", "/srv/data/");
    env.set("XDG_CONFIG_HOME", "/srv/config");
    EXPECT_EQ(GetSpecialFolder(CSIDL_LOCAL_APPDATA), QStringLiteral("/srv/data"));
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), QStringLiteral("/srv/config"));
    // Relative values are not valid there and are ignored.
    env.set("XDG_DATA_HOME", "relative");
    EXPECT_EQ(GetSpecialFolder(CSIDL_LOCAL_APPDATA), QDir::homePath() + "/.local/share");
    EXPECT_EQ(GetSpecialFolder(CSIDL_PROGRAM_FILES), QStringLiteral("/usr"));
    EXPECT_FALSE(GetSpecialFolder(CSIDL_SYSTEM).isEmpty());
    EXPECT_EQ(GetSpecialFolder(9999), QString());
}

TEST(ShellFolders, DocumentsFolderFromTheUserDirsFile) {
    struct Case {
        const char* file;
        QString expected;
    };
    const QString home = QDir::homePath();
    const Case cases[] = {
        {"# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n",
         home + "/Dokumente"},
        {"XDG_DOCUMENTS_DIR=\"/data/docs/\"\n", QStringLiteral("/data/docs")},
        {"XDG_DOCUMENTS_DIR=\"$HOME/\"\n", home + "/Documents"}, // home itself: not set up
        {"", home + "/Documents"},
    };
    QTemporaryDir dir;
    Env env;
    env.set("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    for (const Case& c : cases) {
        QFile file(dir.filePath(QStringLiteral("user-dirs.dirs")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.file);
        file.close();
        EXPECT_EQ(GetSpecialFolder(CSIDL_PERSONAL), c.expected) << c.file;
    }
}

} // namespace
