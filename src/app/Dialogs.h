#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace varo {

// What an open-file dialog is asked for. The filter is in the program's own
// form, "description|patterns|description|patterns", patterns separated by ';'.
struct OpenFileRequest {
    QString title;
    QString directory;
    QString fileName;
    QString filter;
    bool multipleFiles = false;
    // The dialog's name in the settings: when set, the dialog opens in the
    // folder it last chose from (while that folder exists) and remembers it,
    // and with the file type last chosen in it, when it offers that type.
    QString folderKey;
    // The file type shown first: a description of `filter`; empty: the first.
    QString selectedFilter;
};

// The folder each named dialog last chose from, by folder key.
QMap<QString, QString> DialogFolders();
void SetDialogFolders(const QMap<QString, QString>& folders);
// The file type (its description) each named dialog last chose, by folder key.
QMap<QString, QString> DialogFilters();
void SetDialogFilters(const QMap<QString, QString>& filters);

// Shows the dialog; the chosen full paths in order, empty when cancelled.
QStringList RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request);

// The dialog RunOpenFileDialog shows, before it is shown.
std::unique_ptr<QFileDialog> CreateOpenFileDialog(QWidget* parent, const OpenFileRequest& request);

// The dialog filter in Qt's form: "description (pattern pattern)" per entry.
QString QtNameFilters(const QString& filter);

enum class MessageKind { Plain, Warning, Critical };

// A modal message box with one OK button, owned by no window.
void ShowMessage(MessageKind kind, const QString& caption, const QString& text);

// A modal question with Yes and No buttons (No the default): true for Yes.
// The Yes/No box AskQuestion shows (No is the default).
std::unique_ptr<QMessageBox> CreateQuestionBox(const QString& caption, const QString& text);

bool AskQuestion(const QString& caption, const QString& text);

// Tests put their own routines in place of the real dialogs and boxes.
using OpenFileDialogRoutine = std::function<QStringList(QWidget*, const OpenFileRequest&)>;
using MessageRoutine = std::function<void(MessageKind, const QString&, const QString&)>;
using QuestionRoutine = std::function<bool(const QString&, const QString&)>;
void SetOpenFileDialogRoutine(OpenFileDialogRoutine routine);
void SetMessageRoutine(MessageRoutine routine);
void SetQuestionRoutine(QuestionRoutine routine);

}  // namespace varo
