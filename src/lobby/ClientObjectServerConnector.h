#pragma once
// TDataModuleClientObject: requests to the object server (friends, clans,
// profiles) through the lobby socket.

#include <QObject>

namespace tarn {

class TDataModuleClientObject : public QObject {
    Q_OBJECT
public:
    explicit TDataModuleClientObject(QObject* parent = nullptr);
};

} // namespace tarn
