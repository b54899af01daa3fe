#pragma once
// TFeedback: the feedback window.

#include "gui/TarnWindow.h"

namespace tarn {

class TFeedback : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFeedback(QWidget* parent = nullptr);
};

} // namespace tarn
