#include "leaderboard.h"

namespace tarn {

TFormLeaderBoard::TFormLeaderBoard(QWidget* parent)
    : TarnWindow(QStringLiteral("FormLeaderBoard"), QStringLiteral("Leaderboard"), parent) {}

} // namespace tarn
