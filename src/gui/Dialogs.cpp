#include "Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <deque>

namespace tarn::gui {
namespace {

struct Script {
    bool scripted = false;
    std::deque<Answer> answers;
    std::deque<QString> inputs;
    QStringList shown;
};

Script& script() {
    static Script s;
    return s;
}

QString title() {
    return QApplication::applicationDisplayName().isEmpty()
               ? QStringLiteral("TARN")
               : QApplication::applicationDisplayName();
}

} // namespace

Answer AskYesNo(const QString& text, QMessageBox::Icon icon) {
    Script& s = script();
    if (s.scripted) {
        s.shown.append(text);
        if (s.answers.empty())
            return Answer::Closed;
        const Answer a = s.answers.front();
        s.answers.pop_front();
        return a;
    }
    QMessageBox box(icon, title(), text, QMessageBox::Yes | QMessageBox::No);
    box.setEscapeButton(QMessageBox::NoButton); // Escape and the close box mean "no choice"
    const int result = box.exec();
    if (result == QMessageBox::Yes)
        return Answer::Yes;
    if (result == QMessageBox::No)
        return Answer::No;
    return Answer::Closed;
}

void ShowMessage(const QString& text) {
    Script& s = script();
    if (s.scripted) {
        s.shown.append(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, title(), text, QMessageBox::Ok);
    box.exec();
}

QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
    Script& s = script();
    if (s.scripted) {
        s.shown.append(caption + QStringLiteral(": ") + prompt);
        if (s.inputs.empty())
            return QString();
        const QString text = s.inputs.front();
        s.inputs.pop_front();
        return text;
    }
    bool ok = false;
    const QString text =
        QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

void setScripted(bool scripted) {
    Script& s = script();
    s.scripted = scripted;
    s.answers.clear();
    s.inputs.clear();
    s.shown.clear();
}

bool isScripted() {
    return script().scripted;
}

void setNextAnswer(Answer answer) {
    script().answers.push_back(answer);
}

void setNextInput(const QString& text) {
    script().inputs.push_back(text);
}

QStringList takeShownTexts() {
    QStringList out;
    out.swap(script().shown);
    return out;
}

} // namespace tarn::gui
