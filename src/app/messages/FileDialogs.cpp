#include "app/messages/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "app/messages/TextBridge.h"
#include "filter/FilterFile.h"
#include "platform/Path.h"

namespace varo {
namespace {

constexpr std::string_view kFolderPrefix = "dialog.";
constexpr std::string_view kFilterPrefix = "dialogType.";

OpenFileDialogRoutine& DialogRoutine() {
    static OpenFileDialogRoutine routine;
    return routine;
}

}  // namespace

QString QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns from the last parenthesis of an entry, separated
        // by spaces, and matches them without regard to case; the dialog shows
        // only what stands before it, the description.
        const QString spaced = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + spaced + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString ChosenDescription(const QString& filter, const QString& selected) {
    // Qt gives "description (patterns)", or the description alone when it
    // hides the patterns: either way one of ours.
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (selected == parts[i] || selected.startsWith(parts[i] + QStringLiteral(" ("))) {
            return parts[i];
        }
    }
    return QString();
}

namespace {

// Qt's dialog steps into a folder of a selection (Ctrl+A in a folder with
// sub-folders) instead of giving it back. A selection of several entries
// that holds a folder is given back whole here, as a drop would bring it;
// a single folder is still opened, as in every file dialog.
class SelectionDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        const bool holdsFolder = std::any_of(chosen.begin(), chosen.end(), [](const QString& path) {
            return QFileInfo(path).isDir();
        });
        if (fileMode() == ExistingFiles && chosen.size() > 1 && holdsFolder) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

std::unique_ptr<QFileDialog> CreateOpenFileDialog(QWidget* parent, const OpenFileRequest& request) {
    auto dialog = std::make_unique<SelectionDialog>(parent, request.title, request.directory);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(request.folder          ? QFileDialog::Directory
                        : request.multipleFiles ? QFileDialog::ExistingFiles
                                                : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::ShowDirsOnly, request.folder);
    dialog->setOption(QFileDialog::ReadOnly, false);
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    const QString filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters.split(QStringLiteral(";;")));
    }
    if (!request.fileName.isEmpty()) {
        dialog->selectFile(request.fileName);
    }
    // Qt's form of the file type shown first: its description and patterns.
    for (const QString& filter : dialog->nameFilters()) {
        if (!request.selectedFilter.isEmpty() &&
            filter.startsWith(request.selectedFilter + QStringLiteral(" ("))) {
            dialog->selectNameFilter(filter);
        }
    }
    return dialog;
}

QMap<QString, QString>& Folders() {
    static QMap<QString, QString> folders;
    return folders;
}

QMap<QString, QString>& Filters() {
    static QMap<QString, QString> filters;
    return filters;
}

void SetDialogFilters(const QMap<QString, QString>& filters) {
    Filters() = filters;
}

void SetDialogFolders(const QMap<QString, QString>& folders) {
    Folders() = folders;
}

void RememberDialogs(Settings& settings) {
    for (const auto& [prefix, values] :
         {std::pair{kFolderPrefix, &Folders()}, std::pair{kFilterPrefix, &Filters()}}) {
        for (auto value = values->cbegin(); value != values->cend(); ++value) {
            settings[std::string(prefix) + ToUtf8(value.key())] = ToUtf8(value.value());
        }
    }
}

void RestoreDialogs(const Settings& settings) {
    for (const auto& [name, value] : settings) {
        if (value.empty()) {
            continue;
        }
        for (const auto& [prefix, values] :
             {std::pair{kFolderPrefix, &Folders()}, std::pair{kFilterPrefix, &Filters()}}) {
            if (name.starts_with(prefix)) {
                (*values)[FromUtf8(name.substr(prefix.size()))] = FromUtf8(value);
            }
        }
    }
}

QString DialogSettingCaption(std::string_view name) {
    return name.starts_with(kFolderPrefix)   ? QStringLiteral("对话框上次的文件夹")
           : name.starts_with(kFilterPrefix) ? QStringLiteral("对话框上次的文件类型")
                                             : QString();
}

QStringList RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request) {
    OpenFileRequest shown = request;
    const QString last = Folders().value(request.folderKey);
    if (!request.folderKey.isEmpty() && !last.isEmpty() && QFileInfo(last).isDir()) {
        shown.directory = last;
    }
    // The type last chosen, while this dialog still offers it.
    const QString lastFilter = Filters().value(request.folderKey);
    if (!request.folderKey.isEmpty() && !lastFilter.isEmpty() &&
        request.filter.split(QLatin1Char('|')).contains(lastFilter)) {
        shown.selectedFilter = lastFilter;
    }
    QStringList chosen;
    if (DialogRoutine()) {
        chosen = DialogRoutine()(parent, shown);
    } else {
        const std::unique_ptr<QFileDialog> dialog = CreateOpenFileDialog(parent, shown);
        if (dialog->exec() == QDialog::Accepted) {
            chosen = dialog->selectedFiles();
            if (!request.folderKey.isEmpty()) {
                const QString description =
                    ChosenDescription(request.filter, dialog->selectedNameFilter());
                if (!description.isEmpty()) {
                    Filters()[request.folderKey] = description;
                }
            }
        }
    }
    if (!request.folderKey.isEmpty() && !chosen.isEmpty()) {
        const QByteArray folder = QFileInfo(chosen.first()).absolutePath().toUtf8();
        Folders()[request.folderKey] = QString::fromUtf8(DisplayPath(folder.toStdString()));
    }
    return chosen;
}

void SetOpenFileDialogRoutine(OpenFileDialogRoutine routine) {
    DialogRoutine() = std::move(routine);
}

namespace {

const QString kTitle = QStringLiteral("选择数据库文件");

QString FirstChosen(QWidget* parent, const QString& directory, const QString& fileName,
                    const QString& filter, const QString& folderKey) {
    OpenFileRequest request;
    request.title = kTitle;
    request.directory = directory;
    request.fileName = fileName;
    request.filter = filter;
    request.folderKey = folderKey;
    const QStringList chosen = RunOpenFileDialog(parent, request);
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

CommonDialog::CommonDialog(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("通用对话框1"));
}

QString CommonDialog::ChooseDatabase(QWidget* parent, const QString& directory) const {
    // QELDA.DB on every use, never the previous choice.
    return FirstChosen(parent, directory, QStringLiteral("QELDA.DB"),
                       QStringLiteral("DB数据库文件(*.DB)|*.DB"), QStringLiteral("database"));
}

QString CommonDialog::ChooseFilterFile(QWidget* parent, const QString& directory) const {
    return FirstChosen(parent, directory, QString::fromUtf8(kFilterFileName),
                       QStringLiteral("物品过滤文件(*.txt)|*.txt"), QStringLiteral("filter"));
}

}  // namespace varo
