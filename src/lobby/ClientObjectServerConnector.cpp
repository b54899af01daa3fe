#include "ClientObjectServerConnector.h"

namespace tarn {

TDataModuleClientObject::TDataModuleClientObject(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("DataModuleClientObject"));
}

} // namespace tarn
