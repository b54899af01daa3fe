#include "AutoUpdate.h"

namespace tarn {

TFormAutoUpdate::TFormAutoUpdate(QWidget* parent)
    : TarnWindow(QStringLiteral("FormAutoUpdate"), QStringLiteral("TARN Auto Updater"), parent) {}

} // namespace tarn
