#include "HTTPmodule.h"

namespace tarn {

THttpsModule::THttpsModule(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("HttpsModule"));
}

} // namespace tarn
