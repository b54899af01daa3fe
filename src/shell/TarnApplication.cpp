#include "TarnApplication.h"

#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <typeinfo>

namespace tarn {

QString ExceptionClassName(const std::exception& e) {
    const char* mangled = typeid(e).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled);
}

TarnApplication::TarnApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool RunGuarded(const std::function<bool()>& deliver,
                const TarnApplication::ExceptionHandler& handler) {
    try {
        return deliver();
    } catch (const std::exception& e) {
        if (handler)
            handler(ExceptionClassName(e), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (handler)
            handler(QStringLiteral("Exception"), QStringLiteral("unknown error"));
    }
    return false;
}

bool TarnApplication::notify(QObject* receiver, QEvent* event) {
    return RunGuarded([&] { return QApplication::notify(receiver, event); }, handler_);
}

} // namespace tarn
