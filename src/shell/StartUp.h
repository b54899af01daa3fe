#pragma once
// Program start-up: creates every window and module once, in the fixed
// creation order, fills the global references and owns the objects until
// shutdown, when they are destroyed in reverse order.

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace tarn {

// The support address named in the options dialog's start-up failure text.
QString SupportEmailAddress();

class TStartUp {
public:
    struct Hooks {
        // Runs before each creation step (1..21) with the step's global
        // reference name; a test makes a step fail by throwing here.
        std::function<void(int step, const QString& reference)> beforeStep;
    };

    TStartUp();
    explicit TStartUp(Hooks hooks);
    ~TStartUp();
    TStartUp(const TStartUp&) = delete;
    TStartUp& operator=(const TStartUp&) = delete;

    // The 21 creation steps in order. Steps 9 (LAN bridge module) and 13
    // (options dialog) are guarded: a failure shows its message and start-up
    // goes on; a failure in any other step propagates.
    void CreateForms();

    // Global reference names of the objects created, in creation order.
    const QStringList& creationLog() const { return log_; }

    // The names of the creation table, in order.
    static QStringList creationOrder();

private:
    template <typename T> T* own(T* object);

    Hooks hooks_;
    std::vector<std::unique_ptr<QObject>> owned_;
    QStringList log_;
};

} // namespace tarn
