#include "platform/CaptureLibrary.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace tarn::platform;

namespace {

TEST(CaptureLibrary, InstallCommandFollowsTheDistribution) {
    const QStringList apt{"apt-get", "install", "-y", "libpcap0.8"};
    const QStringList dnf{"dnf", "install", "-y", "libpcap"};
    const QStringList pacman{"pacman", "-S", "--noconfirm", "libpcap"};
    struct Case {
        const char* osRelease;
        QStringList expected;
    };
    const Case cases[] = {
        {"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n", apt},
        {"NAME=\"Ubuntu\"\nID=ubuntu\nID_LIKE=debian\n", apt},
        {"ID=linuxmint\nID_LIKE=\"ubuntu debian\"\n", apt},
        {"ID=\"fedora\"\n", dnf},
        {"ID=\"rocky\"\nID_LIKE=\"rhel centos fedora\"\n", dnf},
        {"ID=manjaro\nID_LIKE=arch\n", pacman},
        {"ID='arch'\n", pacman},
        {"ID=gentoo\n", {}},
        {"ID_LIKE=\n", {}},
        {"", {}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("os-release"));
    for (const Case& c : cases) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.osRelease);
        file.close();
        EXPECT_EQ(CaptureLibraryInstallCommand(path), c.expected) << c.osRelease;
    }
    EXPECT_TRUE(CaptureLibraryInstallCommand(dir.filePath(QStringLiteral("none"))).isEmpty());
}

TEST(CaptureLibrary, LibpcapOfTheBuildMachineIsFound) {
    // libpcap is a build dependency, so its run-time library is installed.
    EXPECT_TRUE(CaptureLibraryLoadable());
    EXPECT_EQ(CaptureLibraryProjectUrl(), QStringLiteral("https://www.tcpdump.org/"));
}

} // namespace
