#include "website.h"

namespace tarn {

TFormWebsite::TFormWebsite(QWidget* parent)
    : TarnWindow(QStringLiteral("FormWebsite"), QStringLiteral("Website"), parent) {}

} // namespace tarn
