#include "app/CommonDialog.h"

#include "app/Dialogs.h"
#include "filter/FilterFile.h"

namespace varo {
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
