#include "app/CommonDialog.h"

#include "app/Dialogs.h"

namespace varo {

CommonDialog::CommonDialog(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("通用对话框1"));
}

QString CommonDialog::Show(QWidget* parent, const QString& directory,
                           const QString& folderKey) const {
    const QStringList chosen =
        RunOpenFileDialog(parent, {title, directory, fileName, filter, false, folderKey});
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace varo
