#pragma once

#include <QString>

#include <functional>
#include <memory>

class QMessageBox;

namespace varo {

enum class MessageKind { Plain, Warning, Critical };

// A modal message box with one OK button, owned by no window.
void ShowMessage(MessageKind kind, const QString& caption, const QString& text);

// The Yes/No box AskQuestion shows (No is the default), in Chinese.
std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& caption, const QString& text);

// A modal question with Yes and No buttons (No the default): true for Yes.
bool AskQuestion(const QString& caption, const QString& text);

// Tests put their own routines in place of the real boxes.
using MessageRoutine = std::function<void(MessageKind, const QString&, const QString&)>;
using QuestionRoutine = std::function<bool(const QString&, const QString&)>;
void SetMessageRoutine(MessageRoutine routine);
void SetQuestionRoutine(QuestionRoutine routine);

}  // namespace varo
