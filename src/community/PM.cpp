#include "PM.h"

namespace tarn {

TPMForm::TPMForm(QWidget* parent)
    : TarnWindow(QStringLiteral("PMForm"), QStringLiteral("Private Message"), parent) {}

} // namespace tarn
