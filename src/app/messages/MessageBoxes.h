#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QMessageBox;

namespace varo {

enum class MessageKind { Plain, Warning, Critical };

// A modal message box with one OK button, owned by no window.
void ShowMessage(MessageKind kind, const QString& caption, const QString& text);

// The Yes/No box AskQuestion shows (No is the default), in Chinese.
std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& caption, const QString& text);

// A modal question with Yes and No buttons (No the default): true for Yes.
bool AskQuestion(const QString& caption, const QString& text);

// A modal question with a button per choice and 取消 (the default, and what
// Esc or closing the box answers): the index of the choice, nothing for 取消.
std::optional<int> AskChoice(const QString& caption, const QString& text,
                             const QStringList& choices);

// Tests put their own routines in place of the real boxes.
using MessageRoutine = std::function<void(MessageKind, const QString&, const QString&)>;
using QuestionRoutine = std::function<bool(const QString&, const QString&)>;
using ChoiceRoutine =
    std::function<std::optional<int>(const QString&, const QString&, const QStringList&)>;
void SetMessageRoutine(MessageRoutine routine);
void SetChoiceRoutine(ChoiceRoutine routine);
void SetQuestionRoutine(QuestionRoutine routine);

}  // namespace varo
