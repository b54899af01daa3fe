#pragma once
// One line per event on stderr, from any thread.

#include <cstdio>
#include <mutex>
#include <string>

namespace tarn::server {

inline void Log(const std::string& line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fputs(("tarn-server: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

} // namespace tarn::server
