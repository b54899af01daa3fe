#pragma once
// Running processes: find by program name, program path, start, terminate.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tarn::platform {

// Upper-case names under which a program may run here. The program's own
// name always comes first; Windows program names of the emulator add the
// names of its Linux builds (pcsx2.exe -> PCSX2, PCSX2-QT).
QStringList ProcessNameAliases(const QString& programFileName);

// Id of the last running process whose program matches programFileName, 0
// if none does. A process matches when the upper-case file-name part of its
// program file, its upper-case command name, or its whole upper-case program
// path equals one of ProcessNameAliases(programFileName). Processes are
// walked in ascending id order. procRoot is the proc filesystem's root.
qint64 FindProcessId(const QString& programFileName,
                     const QString& procRoot = QStringLiteral("/proc"));

// Full path of the process's program file; empty when it is unavailable
// (no such process, or not ours to inspect).
QString ProcessFilePath(qint64 pid, const QString& procRoot = QStringLiteral("/proc"));

// Starts the command line (split like a shell would, without expansions) in
// a new process group, inheriting no descriptors but the standard three.
// With wait set, returns once the program has ended. Returns whether the
// program was started.
bool RunProgram(const QString& commandLine, bool wait);

// Ends the process at once (SIGKILL), giving it no chance to save anything.
// Ids below 1 are refused (they would address process groups).
bool TerminateProcess(qint64 pid);

} // namespace tarn::platform
