#pragma once
// TFormAutoUpdate: the auto-update window: update notes and the installer download.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormAutoUpdate : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormAutoUpdate(QWidget* parent = nullptr);
};

} // namespace tarn
