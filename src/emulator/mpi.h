#pragma once
// TMPinstaller: the map pack installer window.

#include "gui/TarnWindow.h"

namespace tarn {

class TMPinstaller : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TMPinstaller(QWidget* parent = nullptr);
};

} // namespace tarn
