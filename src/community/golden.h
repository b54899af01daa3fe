#pragma once
// TFormGolden: the golden name window.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormGolden : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormGolden(QWidget* parent = nullptr);
};

} // namespace tarn
