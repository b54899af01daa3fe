#include "mpi.h"

namespace tarn {

TMPinstaller::TMPinstaller(QWidget* parent)
    : TarnWindow(QStringLiteral("MPinstaller"), QStringLiteral("SOCOM3/CA Map Pack Installer"),
                 parent) {}

} // namespace tarn
