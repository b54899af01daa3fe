#include "BlockList.h"

namespace tarn {

TFormBlockList::TFormBlockList(QWidget* parent)
    : TarnWindow(QStringLiteral("FormBlockList"), QStringLiteral("Block List"), parent) {}

} // namespace tarn
