#include "about.h"

namespace tarn {

TForm7::TForm7(QWidget* parent)
    : TarnWindow(QStringLiteral("Form7"), QStringLiteral("About"), parent) {}

} // namespace tarn
