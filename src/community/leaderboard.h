#pragma once
// TFormLeaderBoard: the leaderboard window: a grid of player standings.

#include "gui/TarnWindow.h"

namespace tarn {

class TFormLeaderBoard : public gui::TarnWindow {
    Q_OBJECT
public:
    explicit TFormLeaderBoard(QWidget* parent = nullptr);
};

} // namespace tarn
