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

// Test seam.
void setScripted(bool scripted);
bool isScripted();
void setNextAnswer(Answer answer);
QStringList takeShownTexts(); // texts shown since the last call, oldest first

} // namespace tarn::gui
