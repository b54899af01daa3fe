#include "Pcsx2Module.h"

namespace tarn {

TDataModulePcsx2::TDataModulePcsx2(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("DataModulePcsx2"));
}

} // namespace tarn
