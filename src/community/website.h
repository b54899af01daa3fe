#pragma once
// TFormWebsite: the website window: the service's website in a browser view.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormWebsite : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormWebsite(QWidget* parent = nullptr);
};

} // namespace tarn
