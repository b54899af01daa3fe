#pragma once
// Shell folders by their Windows CSIDL number, mapped to the Linux folders
// that play the same role (see docs/ARCHITECTURE.md, platform mapping).

#include <QString>

namespace tarn::platform {

enum Csidl : int {
    CSIDL_PERSONAL = 5,       // documents
    CSIDL_APPDATA = 26,       // roaming application data -> $XDG_CONFIG_HOME
    CSIDL_LOCAL_APPDATA = 28, // local application data -> $XDG_DATA_HOME
    CSIDL_SYSTEM = 37,        // system folder -> the library folder
    CSIDL_PROGRAM_FILES = 38, // program files -> /usr
};

// The folder's path without a trailing separator; empty for an unknown id.
QString GetSpecialFolder(int csidl);

} // namespace tarn::platform
