#pragma once
// Keeps the computer from going to sleep while switched on: a logind
// "sleep:idle" inhibitor lock held over D-Bus. Without D-Bus or logind the
// switch has no effect and reports false; it never throws or blocks long.

class QDBusConnection;

namespace tarn::platform {

// Switches the inhibitor on or off; returns whether the system accepted it.
// Switching to the state already held does nothing and returns true.
bool SetKeepAwake(bool on);

// The same, asking the logind service on the given bus instead of the
// system bus.
bool SetKeepAwake(QDBusConnection& bus, bool on);

// True while an inhibitor lock is held.
bool KeepAwakeHeld();

} // namespace tarn::platform
