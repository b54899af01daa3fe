#pragma once
// TPspAdHocModule: the PSP ad-hoc bridge module and its PSP MAC list.

#include <QObject>

namespace tarn {

class TPspAdHocModule : public QObject {
    Q_OBJECT
public:
    explicit TPspAdHocModule(QObject* parent = nullptr);
};

} // namespace tarn
