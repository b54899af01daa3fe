#include "golden.h"

namespace tarn {

TFormGolden::TFormGolden(QWidget* parent)
    : TarnWindow(QStringLiteral("FormGolden"), QStringLiteral("Get Golden"), parent) {}

} // namespace tarn
