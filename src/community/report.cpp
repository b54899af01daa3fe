#include "report.h"

namespace tarn {

TFormReport::TFormReport(QWidget* parent)
    : TarnWindow(QStringLiteral("FormReport"), QStringLiteral("Report"), parent) {}

} // namespace tarn
