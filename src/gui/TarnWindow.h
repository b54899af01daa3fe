#pragma once
// Base of the program's secondary windows: a top-level window (its own
// taskbar button) with its caption, created once at start-up and then only
// shown and hidden. Closing hides it; the start-up owns and deletes it.

#include <QWidget>

namespace tarn::gui {

class TarnWindow : public QWidget {
    Q_OBJECT
public:
    TarnWindow(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
};

} // namespace tarn::gui
