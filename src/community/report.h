#pragma once
// TFormReport: the report-user window.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormReport : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormReport(QWidget* parent = nullptr);
};

} // namespace tarn
