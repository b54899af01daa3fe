#include "shell/SystemCriticalU.h"

#include "platform/KeepAwake.h"

namespace tarn {
namespace {

// Owns the one controller and switches it off when the program's statics are
// finalised. Releasing only closes the inhibitor's descriptor, which is safe
// after the application object is gone.
struct Instance {
    TSystemCritical controller;
    ~Instance() { controller.Shutdown(); }
};

Instance& instance() {
    static Instance one;
    return one;
}

// Created when the program's statics are initialised, before main runs.
[[maybe_unused]] TSystemCritical& gCreatedAtStart = SystemCritical();

} // namespace

void TSystemCritical::setIsCritical(bool value) {
    if (value == FIsCritical)
        return;
    FIsCritical = value;
    Apply(value);
}

void TSystemCritical::Apply(bool critical) {
    platform::SetKeepAwake(critical);
}

TSystemCritical& SystemCritical() {
    return instance().controller;
}

} // namespace tarn
