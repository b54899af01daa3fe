#pragma once
// The in-memory list of error lines that the chat command "/log" shows.
// Main thread only.

#include <QStringList>

namespace tarn {

inline QStringList& ErrorLog() {
    static QStringList log;
    return log;
}

} // namespace tarn
