#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace varo {
namespace {

OpenFileDialogRoutine& DialogRoutine() {
    static OpenFileDialogRoutine routine;
    return routine;
}

MessageRoutine& BoxRoutine() {
    static MessageRoutine routine;
    return routine;
}

}  // namespace

QString QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = parts[i + 1];
        const QString spaced = QString(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parenthesis of the entry, separated by spaces.
        const QString own = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (description.endsWith(own)) {
            description.chop(own.size());
            description += QLatin1Char('(') + spaced + QLatin1Char(')');
        } else {
            description += QStringLiteral(" (") + spaced + QLatin1Char(')');
        }
        entries << description;
    }
    return entries.join(QStringLiteral(";;"));
}

QStringList RunOpenFileDialog(QWidget* parent, const OpenFileRequest& request) {
    if (DialogRoutine()) {
        return DialogRoutine()(parent, request);
    }
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multipleFiles ? QFileDialog::ExistingFiles
                                             : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    const QString filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

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

void SetOpenFileDialogRoutine(OpenFileDialogRoutine routine) {
    DialogRoutine() = std::move(routine);
}

void SetMessageRoutine(MessageRoutine routine) {
    BoxRoutine() = std::move(routine);
}

}  // namespace varo
