#pragma once
// TDataModule2: the LAN bridge module (console list, frame templates, game
// socket, bridge timer). Created once at start-up; its capture and relay
// work is added with the bridge.

#include <QObject>

namespace tarn {

class TDataModule2 : public QObject {
    Q_OBJECT
public:
    explicit TDataModule2(QObject* parent = nullptr);
};

} // namespace tarn
