#pragma once
// TFormMain: the main window. Until a login succeeds the login gate covers
// its whole client area; afterwards it is the lobby. It composes its parts
// (login gate, status overlay, lobby views) and keeps the operations other
// windows call on it. Closing it ends the program.

#include <QColor>
#include <QMainWindow>

#include <array>

class QFrame;
class QLabel;
class QProgressBar;

namespace tarn {

class TLoginGate;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);

    // The application-wide error handler: one line "class message" in the
    // error log for an exception that escaped an event handler.
    void AppException(const QString& className, const QString& message);

    TLoginGate* loginGate() const { return LoginGate; }

    // The hidden colour box whose colour fills the six accent shapes.
    void setComboColorBox1(const QColor& color);
    QColor comboColorBox1() const { return ComboColorBox1; }
    // The six shapes that carry the accent colour, in a fixed order.
    std::array<QWidget*, 6> accentShapes() const;

    // The status overlay over the whole window, with its busy indicator.
    void showStatus(const QString& text);
    void hideStatus();

    TLoginGate* LoginGate = nullptr;
    QFrame* RectangleStatus = nullptr;
    QLabel* Text1 = nullptr;
    QProgressBar* AniIndicator1 = nullptr;
    QFrame* RectangleRoomList = nullptr;
    QFrame* RectangleProfile = nullptr;
    QFrame* RectangleEditYourProfile = nullptr;

    static QString connectingText() { return QStringLiteral("Connecting to TARN. Please wait."); }
    static QString reconnectingText() {
        return QStringLiteral("Lost connection to server. Reconnecting.");
    }

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor ComboColorBox1;
};

} // namespace tarn
