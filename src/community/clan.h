#pragma once
// TFormClan: the clan window.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormClan : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormClan(QWidget* parent = nullptr);
};

} // namespace tarn
