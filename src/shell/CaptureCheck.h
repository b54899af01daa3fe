#pragma once
// The start-up check for the packet-capture library, which the LAN bridge
// cannot work without. When the library cannot be loaded the user is asked
// whether to install it now; every answer but closing the question ends the
// program after its message.

namespace tarn {

enum class StartDecision { Continue, Exit };

// `libraryLoadable` is the result of the platform's look-up, passed in so
// that the dialog flow can be exercised without removing the library.
StartDecision CheckCaptureLibrary(bool libraryLoadable);

} // namespace tarn
