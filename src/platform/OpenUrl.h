#pragma once
// Opening a web address in the user's browser.

#include <QString>

namespace tarn::platform {

// Hands url to the desktop's handler for its scheme; false when none took it
// or the text is not a valid address.
bool OpenUrl(const QString& url);

} // namespace tarn::platform
