#include "clan.h"

namespace tarn {

TFormClan::TFormClan(QWidget* parent)
    : TarnWindow(QStringLiteral("FormClan"), QStringLiteral("Clan"), parent) {}

} // namespace tarn
