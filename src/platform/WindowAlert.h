#pragma once
// Drawing the user's attention to a window that is not active (the taskbar
// entry flashes or is marked urgent, as the desktop does it).

class QWidget;

namespace tarn::platform {

// Alerts the desktop about window's top-level window; does nothing for a
// null or hidden window. msec 0 keeps the alert until the window is
// activated.
void AlertWindow(QWidget* window, int msec = 0);

} // namespace tarn::platform
