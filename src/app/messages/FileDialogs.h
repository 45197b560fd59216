#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <QObject>

#include <functional>
#include <memory>
#include <string_view>

#include "settings/SettingsFile.h"

class QFileDialog;
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
    bool folder = false;  // a folder is chosen, not files
    // The dialog's name in the settings: when set, the dialog opens in the
    // folder it last chose from (while that folder exists) and remembers it,
    // and with the file type last chosen in it, when it offers that type.
    QString folderKey;
    // The file type shown first: a description of `filter`; empty: the first.
    QString selectedFilter;
};

// The folder each named dialog last chose from, by folder key.
void SetDialogFolders(const QMap<QString, QString>& folders);
// The file type (its description) each named dialog last chose, by folder key.
void SetDialogFilters(const QMap<QString, QString>& filters);

// Both are remembered between runs, as "dialog.<key>" and "dialogType.<key>".
void RememberDialogs(Settings& settings);
void RestoreDialogs(const Settings& settings);
// The caption of a dialog setting; empty for any other name.
QString DialogSettingCaption(std::string_view name);

// Shows the dialog; the chosen full paths in order, empty when cancelled.
QStringList RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request);

// The dialog RunOpenFileDialog shows, before it is shown.
std::unique_ptr<QFileDialog> CreateOpenFileDialog(QWidget* parent, const OpenFileRequest& request);

// The dialog filter in Qt's form: "description (pattern pattern)" per entry.
QString QtNameFilters(const QString& filter);

// The description of `filter` ("description|patterns|…") that the dialog's
// selected type names, as Qt reports it (with or without its patterns);
// empty when none does. The dialog remembers the type by it.
QString ChosenDescription(const QString& filter, const QString& selected);

// Tests put their own routine in place of the real dialog.
using OpenFileDialogRoutine = std::function<QStringList(QWidget*, const OpenFileRequest&)>;
void SetOpenFileDialogRoutine(OpenFileDialogRoutine routine);

// The open-file dialog that the database choice and the filter import share
// (one title, 选择数据库文件). Each use builds its own request: nothing of
// one use carries over to the next.
class CommonDialog : public QObject {
  public:
    explicit CommonDialog(QObject* parent);

    // The database file, proposing QELDA.DB in `directory`; empty when cancelled.
    QString ChooseDatabase(QWidget* parent, const QString& directory) const;
    // A filter file, proposing lsDefaultItemFilter.txt in `directory`.
    QString ChooseFilterFile(QWidget* parent, const QString& directory) const;
};

}  // namespace varo
