#pragma once
// TForm7: the about window.

#include "gui/TarnWindow.h"

namespace tarn {

class TForm7 : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
};

} // namespace tarn
