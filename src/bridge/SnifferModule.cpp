#include "SnifferModule.h"

namespace tarn {

TDataModule2::TDataModule2(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("DataModule2"));
}

} // namespace tarn
