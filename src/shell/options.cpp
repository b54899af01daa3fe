#include "options.h"

namespace tarn {

TFormOptions::TFormOptions(QWidget* parent)
    : TarnWindow(QStringLiteral("FormOptions"), QStringLiteral("Account Settings/Options"),
                 parent) {}

} // namespace tarn
