#pragma once
// TFormOptions: the options dialog: client settings, adapters, account settings.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormOptions : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormOptions(QWidget* parent = nullptr);
};

} // namespace tarn
