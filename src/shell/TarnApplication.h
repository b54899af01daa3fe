#pragma once
// The application object. It hands every exception that escapes an event
// handler to the installed handler (the main window's AppException) and
// goes on, instead of letting it end the program.

#include <QApplication>
#include <functional>

namespace tarn {

class TarnApplication : public QApplication {
    Q_OBJECT
public:
    using ExceptionHandler = std::function<void(const QString& className, const QString& message)>;

    TarnApplication(int& argc, char** argv);

    void setExceptionHandler(ExceptionHandler handler) { handler_ = std::move(handler); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    ExceptionHandler handler_;
};

// Runs one delivery; an exception that escapes it goes to `handler` and the
// delivery counts as not handled. TarnApplication::notify runs every event so.
bool RunGuarded(const std::function<bool()>& deliver,
                const TarnApplication::ExceptionHandler& handler);

// The readable class name of an exception object ("std::runtime_error").
QString ExceptionClassName(const std::exception& e);

} // namespace tarn
