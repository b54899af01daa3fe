#pragma once
// TFormBlockList: the block list window: shows the blocked names and unblocks one on request.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormBlockList : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormBlockList(QWidget* parent = nullptr);
};

} // namespace tarn
