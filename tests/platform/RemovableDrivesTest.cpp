#include "platform/RemovableDrives.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace tarn::platform;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(path.section(QLatin1Char('/'), 0, -2)));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void link(const QString& target, const QString& at) {
    ASSERT_TRUE(QDir().mkpath(at.section(QLatin1Char('/'), 0, -2)));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()),
              0);
}

// A sys tree laid out like the kernel's: the devices live under devices/,
// partitions inside their disk's folder, class/block and block hold links.
class FakeSys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sys = dir.filePath(QStringLiteral("sys"));
        proc = dir.filePath(QStringLiteral("proc"));
        disk("sda", false, {"sda1", "sda2"});
        disk("sdb", true, {"sdb1"});
        disk("sdc", true, {});
        disk("mmcblk0", true, {"mmcblk0p1"});
        disk("sdd", false, {"sdd1"});
    }
    void disk(const char* name, bool removable, std::initializer_list<const char*> parts) {
        const QString n = QString::fromLatin1(name);
        const QString folder = sys + "/devices/pci0000:00/usb1/host0/block/" + n;
        writeFile(folder + "/removable", removable ? "1\n" : "0\n");
        link(folder, sys + "/block/" + n);
        link(folder, sys + "/class/block/" + n);
        for (const char* p : parts) {
            const QString part = QString::fromLatin1(p);
            writeFile(folder + "/" + part + "/partition", "1\n");
            link(folder + "/" + part, sys + "/class/block/" + part);
        }
    }
    QTemporaryDir dir;
    QString sys;
    QString proc;
};

TEST_F(FakeSys, ListsTheMountsOfRemovableDisks) {
    writeFile(proc + "/self/mounts", "/dev/sda2 / ext4 rw,relatime 0 0\n"
                                     "proc /proc proc rw,nosuid 0 0\n"
                                     "tmpfs /run tmpfs rw 0 0\n"
                                     "/dev/sdb1 /media/user/MY\\040STICK vfat rw,nosuid 0 0\n"
                                     "/dev/sda1 /boot/efi vfat rw 0 0\n"
                                     "/dev/sdc /media/user/whole exfat rw 0 0\n"
                                     "/dev/sdb1 /mnt/again vfat rw 0 0\n"
                                     "/dev/sdb1 /mnt/again vfat rw 0 0\n"
                                     "/dev/mmcblk0p1 /media/card vfat rw 0 0\n"
                                     "/dev/sdd1 /media/fixed ext4 rw 0 0\n"
                                     "/dev/nvme0n1p1 /data ext4 rw 0 0\n"
                                     "/dev/sdz\n"
                                     "\n");
    EXPECT_EQ(
        RemovableDriveRoots(proc, sys),
        (QStringList{"/media/user/MY STICK", "/media/user/whole", "/mnt/again", "/media/card"}));
}

TEST_F(FakeSys, NoMountTableNoDrives) {
    EXPECT_TRUE(RemovableDriveRoots(proc, sys).isEmpty());
}

TEST(RemovableDrives, MountFieldEscapes) {
    struct Case {
        const char* field;
        const char* decoded;
    };
    const Case cases[] = {
        {"/media/a\\040b", "/media/a b"},
        {"/x\\011y", "/x\ty"},
        {"/x\\012y", "/x\ny"},
        {"/back\\134slash", "/back\\slash"},
        {"/cut\\04", "/cut\\04"},
        {"/no\\999", "/no\\999"},
        {"/plain", "/plain"},
        {"\\", "\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeMountField(c.field), QString::fromUtf8(c.decoded)) << c.field;
}

} // namespace
