#pragma once
// The process: binds every socket, runs the HTTP servers on their own
// threads and the UDP services and the admin channel on the calling thread
// until SIGTERM or SIGINT.

#include "Config.h"

namespace tarn::server {

// Exit code: 0 after a clean stop, 1 when start-up failed.
int RunServer(const ServerConfig& config);

} // namespace tarn::server
