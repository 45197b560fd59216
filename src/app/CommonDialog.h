#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace varo {

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
