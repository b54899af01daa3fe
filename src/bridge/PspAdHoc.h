#pragma once
// TPspAdHocModule: the PSP ad-hoc bridge module and its PSP MAC list.

#include <QObject>

namespace tarn {

class TPspAdHocModule : public QObject {
    Q_OBJECT
public:
    explicit TPspAdHocModule(QObject* parent = nullptr);

    // Selects the PSP capture adapter by its position in the console
    // bridge's capture device list (options dialog, login). The PSP bridge
    // itself is not built yet; until it is, this does nothing.
    void PSPAdapterChange(int position) { Q_UNUSED(position); }
};

} // namespace tarn
