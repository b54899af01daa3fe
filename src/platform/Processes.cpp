#include "platform/Processes.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <limits>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tarn::platform {
namespace {

// Windows program names and the names of the same program's Linux builds.
struct NameAlias {
    const char* windowsName; // upper case
    const char* linuxNames[3];
};
constexpr NameAlias kAliases[] = {
    {"PCSX2.EXE", {"PCSX2", "PCSX2-QT", nullptr}},
};

QString readLink(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(native.constData(), buffer.data(), buffer.size());
    if (length <= 0 || length >= buffer.size())
        return {};
    QString target = QFile::decodeName(buffer.left(length));
    // A program file replaced or removed while it runs reads "<path> (deleted)".
    static const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return target;
}

QString readComm(const QString& dir) {
    QFile file(dir + QStringLiteral("/comm"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The kernel keeps at most 15 bytes and a newline.
    return QString::fromUtf8(file.read(64)).trimmed();
}

// An ended process that its parent has not collected yet (state Z or X in
// its stat line, after the command name in parentheses) is not running.
bool hasEnded(const QString& dir) {
    QFile file(dir + QStringLiteral("/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = file.read(1024);
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return false;
    const char state = stat[close + 2];
    return state == 'Z' || state == 'X';
}

int waitForChild(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

} // namespace

QStringList ProcessNameAliases(const QString& programFileName) {
    const QString upper = programFileName.toUpper();
    QStringList names{upper};
    for (const NameAlias& alias : kAliases) {
        if (upper != QLatin1String(alias.windowsName))
            continue;
        for (const char* name : alias.linuxNames) {
            if (name != nullptr)
                names << QString::fromLatin1(name);
        }
    }
    return names;
}

qint64 FindProcessId(const QString& programFileName, const QString& procRoot) {
    if (programFileName.isEmpty())
        return 0;
    const QStringList names = ProcessNameAliases(programFileName);
    std::vector<qint64> pids;
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (ok && pid > 0)
            pids.push_back(pid);
    }
    std::sort(pids.begin(), pids.end());
    qint64 found = 0;
    for (const qint64 pid : pids) {
        const QString dir = procRoot + QLatin1Char('/') + QString::number(pid);
        if (hasEnded(dir))
            continue;
        const QString exe = readLink(dir + QStringLiteral("/exe")).toUpper();
        const QString fileName = exe.mid(exe.lastIndexOf(QLatin1Char('/')) + 1);
        const QString comm = readComm(dir).toUpper();
        for (const QString& name : names) {
            if ((!fileName.isEmpty() && fileName == name) || (!comm.isEmpty() && comm == name) ||
                (!exe.isEmpty() && exe == name)) {
                found = pid;
                break;
            }
        }
    }
    return found;
}

QString ProcessFilePath(qint64 pid, const QString& procRoot) {
    if (pid <= 0)
        return {};
    return readLink(procRoot + QLatin1Char('/') + QString::number(pid) + QStringLiteral("/exe"));
}

bool RunProgram(const QString& commandLine, bool wait) {
    const QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return false;
    std::vector<QByteArray> args;
    args.reserve(parts.size());
    for (const QString& part : parts)
        args.push_back(QFile::encodeName(part));
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
    // A group of its own: signalSet meant for our group do not reach it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attr, &signalSet);
    sigfillset(&signalSet);
    posix_spawnattr_setsigdefault(&attr, &signalSet);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return false;
    if (wait)
        waitForChild(pid);
    else
        std::thread([pid] { waitForChild(pid); }).detach(); // reap it when it ends
    return true;
}

bool TerminateProcess(qint64 pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

} // namespace tarn::platform
