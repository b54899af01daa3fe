#include "PspAdHoc.h"

namespace tarn {

TPspAdHocModule::TPspAdHocModule(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("PspAdHocModule"));
}

} // namespace tarn
