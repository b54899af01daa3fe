#pragma once
// The client version text: sent at login and with the update check, shown in
// captions and in the HTTP user agents.

namespace tarn {

inline constexpr char kClientVersion[] = "0.95f";

} // namespace tarn
