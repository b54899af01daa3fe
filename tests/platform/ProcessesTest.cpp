#include "platform/Processes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarn::platform;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A proc tree with the shapes met in practice: a native build, a Windows
// build under Wine (only its command name tells), a program file replaced
// while running, an ended process not yet collected, and ids whose text
// order differs from their numeric order.
class FakeProc : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        add(5, "/usr/bin/pcsx2-qt", "pcsx2-qt");
        add(12, nullptr, "PCSX2.exe");
        add(40, "/opt/pcsx2/pcsx2-qt (deleted)", "pcsx2-qt");
        add(300, "/usr/bin/bash", "bash");
        add(2000, "/usr/local/bin/RERUV Er IV.exe", "RERUV Er IV.exe");
        add(2003, nullptr, "bash");
        writeFile(root + "/2003/stat", "2003 (bash) Z 1 2001 2001 0 -1 4227084 0 0 0 0\n");
        add(2002, "/usr/bin/bash", "bash");
        writeFile(root + "/2002/stat", "2002 (odd) name) R 1 2002 2002 0 -1 4227084 0 0 0 0\n");
        QDir(root).mkpath(QStringLiteral("self"));
        QDir(root).mkpath(QStringLiteral("sys"));
    }
    void add(int pid, const char* exe, const char* comm) {
        const QString d = root + QLatin1Char('/') + QString::number(pid);
        ASSERT_TRUE(QDir().mkpath(d));
        if (exe) {
            ASSERT_EQ(::symlink(exe, QFile::encodeName(d + "/exe").constData()), 0);
        }
        writeFile(d + "/comm", QByteArray(comm) + '\n');
    }
    QTemporaryDir dir;
    QString root;
};

TEST_F(FakeProc, FindsTheLastMatchingProcess) {
    struct Case {
        const char* name;
        qint64 pid;
    };
    const Case cases[] = {
        {"pcsx2.exe", 40},         // Linux builds and the Wine process, last by id
        {"PCSX2-QT", 40},          // file name, any case
        {"bash", 2002},            // file name or command name; not the ended 2003
        {"/usr/bin/BASH", 2002},   // the whole program path
        {"/usr/bin", 0},           // a folder is no program
        {"RERUV Er IV.exe", 2000}, // no Linux alias: its own name only
        {"sh", 0},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindProcessId(QString::fromUtf8(c.name), root), c.pid) << c.name;
}

TEST_F(FakeProc, ProgramPathOfAProcess) {
    EXPECT_EQ(ProcessFilePath(5, root), QStringLiteral("/usr/bin/pcsx2-qt"));
    EXPECT_EQ(ProcessFilePath(40, root), QStringLiteral("/opt/pcsx2/pcsx2-qt"));
    EXPECT_EQ(ProcessFilePath(12, root), QString()); // not ours to inspect
    EXPECT_EQ(ProcessFilePath(7, root), QString());  // no such process
    EXPECT_EQ(ProcessFilePath(0, root), QString());
    EXPECT_EQ(ProcessFilePath(-1, root), QString());
}

TEST(Processes, FindsThisTestProgram) {
    const QString self = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(self).fileName();
    // Other runs of the same program may be running beside this one, so only
    // the presence of a match is certain.
    for (const QString& query : {name, name.toUpper(), self})
        EXPECT_NE(FindProcessId(query), 0) << query.toStdString();
    EXPECT_EQ(ProcessFilePath(::getpid()), self);
}

TEST(Processes, FindsAProgramByItsOwnName) {
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("tarn-probe-%1").arg(::getpid()));
    ASSERT_TRUE(QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), program));
    QProcess probe;
    probe.start(program, {QStringLiteral("600")});
    ASSERT_TRUE(probe.waitForStarted());
    EXPECT_EQ(FindProcessId(QFileInfo(program).fileName()), probe.processId());
    EXPECT_EQ(FindProcessId(program.toUpper()), probe.processId());
    EXPECT_EQ(ProcessFilePath(probe.processId()), program);
    probe.kill();
    probe.waitForFinished();
}

TEST(Processes, RunProgramWaitsInANewGroupWithoutOurDescriptors) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    // A descriptor of ours that is not close-on-exec must not reach the program.
    const int leaked = ::fcntl(STDERR_FILENO, F_DUPFD, 200);
    ASSERT_GE(leaked, 200);
    const QString script =
        QStringLiteral("echo $$ $(cut -d ' ' -f 5 /proc/$$/stat) "
                       "$(test -e /proc/$$/fd/%1 && echo inherited || echo closed) > '%2'")
            .arg(leaked)
            .arg(out);
    ASSERT_TRUE(RunProgram(QStringLiteral("sh -c \"%1\"").arg(script), true));
    ::close(leaked);
    const QList<QByteArray> fields = readFile(out).simplified().split(' ');
    ASSERT_EQ(fields.size(), 3) << readFile(out).toStdString();
    EXPECT_EQ(fields[0], fields[1]) << "the program leads a process group of its own";
    EXPECT_NE(fields[1].toLongLong(), qint64(::getpgrp()));
    EXPECT_EQ(fields[2], QByteArray("closed"));
}

TEST(Processes, RunProgramWithoutWaiting) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The program blocks on the pipe until we read it: RunProgram must have
    // returned without waiting for it to end.
    // (timeout: should this test die first, the program does not wait for ever)
    ASSERT_TRUE(
        RunProgram(QStringLiteral("timeout 120 sh -c \"echo ok > '%1'\"").arg(fifo), false));
    EXPECT_EQ(readFile(fifo), QByteArray("ok\n"));
}

TEST(Processes, RunProgramReportsWhatCannotStart) {
    for (const char* line : {"", "   ", "/nonexistent/program", "tarn-no-such-program --x"})
        EXPECT_FALSE(RunProgram(QString::fromUtf8(line), true)) << line;
}

TEST(Processes, TerminateKillsAtOnceAndRefusesGroupIds) {
    for (const qint64 pid : {qint64(0), qint64(-1), qint64(-::getpgrp()), qint64(1) << 40})
        EXPECT_FALSE(TerminateProcess(pid)) << pid;

    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    ASSERT_TRUE(sleeper.waitForStarted());
    EXPECT_TRUE(TerminateProcess(sleeper.processId()));
    ASSERT_TRUE(sleeper.waitForFinished());
    EXPECT_EQ(sleeper.exitStatus(), QProcess::CrashExit);
}

} // namespace
