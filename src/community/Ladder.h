#pragma once
// TFormLadder: the ladder window.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormLadder : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormLadder(QWidget* parent = nullptr);
};

} // namespace tarn
