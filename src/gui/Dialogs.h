#pragma once
// The one seam through which every message box and modal Yes/No question
// goes. In normal runs it shows Qt message boxes; a test switches it to
// scripted mode, where nothing is shown, every text is recorded and questions
// take the answers queued with setNextAnswer (Closed when none is queued).

#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace tarn::gui {

enum class Answer { Yes, No, Closed };

// Modal question with the buttons Yes and No; Closed when the dialog was
// dismissed without either button.
Answer AskYesNo(const QString& text, QMessageBox::Icon icon = QMessageBox::Question);

// Modal notice with an OK button.
void ShowMessage(const QString& text);

// Modal input box with OK and Cancel; the typed text on OK, an empty text on
// Cancel. In scripted mode the caption and prompt are recorded (as
// "caption: prompt") and the answer is the next one queued with
// setNextInput (empty when none is queued).
QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText);

// Test seam.
void setScripted(bool scripted);
bool isScripted();
void setNextAnswer(Answer answer);
void setNextInput(const QString& text);
QStringList takeShownTexts(); // texts shown since the last call, oldest first

} // namespace tarn::gui
