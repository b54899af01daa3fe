#include "TarnWindow.h"

namespace tarn::gui {

TarnWindow::TarnWindow(const QString& objectName, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(640, 480);
}

} // namespace tarn::gui
