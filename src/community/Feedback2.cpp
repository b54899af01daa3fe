#include "Feedback2.h"

namespace tarn {

TFeedback::TFeedback(QWidget* parent)
    : TarnWindow(QStringLiteral("Feedback"), QStringLiteral("Feedback"), parent) {}

} // namespace tarn
