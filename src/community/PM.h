#pragma once
// TPMForm: the private message window: one-to-one conversations.

#include "gui/TarnWindow.h"

namespace tarn {

class TPMForm : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TPMForm(QWidget* parent = nullptr);
};

} // namespace tarn
