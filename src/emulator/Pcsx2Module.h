#pragma once
// TDataModulePcsx2: host of the emulator statistics scripts.

#include <QObject>

namespace tarn {

class TDataModulePcsx2 : public QObject {
    Q_OBJECT
public:
    explicit TDataModulePcsx2(QObject* parent = nullptr);
};

} // namespace tarn
