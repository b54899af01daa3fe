#include "platform/OpenUrl.h"

#include <QDesktopServices>
#include <QUrl>

namespace tarn::platform {

bool OpenUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(parsed);
}

} // namespace tarn::platform
