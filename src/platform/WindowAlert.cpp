#include "platform/WindowAlert.h"

#include <QApplication>
#include <QWidget>

namespace tarn::platform {

void AlertWindow(QWidget* window, int msec) {
    if (window == nullptr || !window->isVisible())
        return;
    QApplication::alert(window->window(), msec);
}

} // namespace tarn::platform
