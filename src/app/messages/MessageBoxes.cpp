#include "app/messages/MessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace varo {
namespace {

MessageRoutine& BoxRoutine() {
    static MessageRoutine routine;
    return routine;
}

QuestionRoutine& QuestionBoxRoutine() {
    static QuestionRoutine routine;
    return routine;
}

ChoiceRoutine& ChoiceBoxRoutine() {
    static ChoiceRoutine routine;
    return routine;
}

}  // namespace

void ShowMessage(MessageKind kind, const QString& caption, const QString& text) {
    if (BoxRoutine()) {
        BoxRoutine()(kind, caption, text);
        return;
    }
    const QMessageBox::Icon icon = kind == MessageKind::Critical  ? QMessageBox::Critical
                                   : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                  : QMessageBox::NoIcon;
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& caption, const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, caption, text,
                                             QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    // Qt's own captions are English without a translation.
    box->button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box->button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

bool AskQuestion(const QString& caption, const QString& text) {
    if (QuestionBoxRoutine()) {
        return QuestionBoxRoutine()(caption, text);
    }
    return CreateQuestionBox(caption, text)->exec() == QMessageBox::Yes;
}

std::optional<int> AskChoice(const QString& caption, const QString& text,
                             const QStringList& choices) {
    if (ChoiceBoxRoutine()) {
        return ChoiceBoxRoutine()(caption, text, choices);
    }
    QMessageBox box(QMessageBox::Question, caption, text);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices) {
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    }
    QAbstractButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(cancel));
    box.setEscapeButton(cancel);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? std::nullopt : std::optional<int>(static_cast<int>(chosen));
}

void SetMessageRoutine(MessageRoutine routine) {
    BoxRoutine() = std::move(routine);
}

void SetQuestionRoutine(QuestionRoutine routine) {
    QuestionBoxRoutine() = std::move(routine);
}

void SetChoiceRoutine(ChoiceRoutine routine) {
    ChoiceBoxRoutine() = std::move(routine);
}

}  // namespace varo
