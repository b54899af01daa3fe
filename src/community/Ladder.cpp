#include "Ladder.h"

namespace tarn {

TFormLadder::TFormLadder(QWidget* parent)
    : TarnWindow(QStringLiteral("FormLadder"), QStringLiteral("Ladder"), parent) {}

} // namespace tarn
