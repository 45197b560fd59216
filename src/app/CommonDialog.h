#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace varo {

// The open-file dialog that the database choice and the filter import share:
// each sets its file name and filter before showing it.
class CommonDialog : public QObject {
  public:
    explicit CommonDialog(QObject* parent);

    QString title = QStringLiteral("选择数据库文件");
    QString fileName = QStringLiteral("QELDA.DB");
    QString filter;

    // The chosen file's full path, or an empty text when cancelled. The
    // dialog opens in the folder last chosen under `folderKey`, if any.
    QString Show(QWidget* parent, const QString& directory, const QString& folderKey) const;
};

}  // namespace varo
