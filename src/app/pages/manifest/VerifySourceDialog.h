#pragma once

#include <QDialog>
#include <QString>

#include <functional>

#include "app/messages/FileDialogs.h"

class QLineEdit;
class QPushButton;

namespace varo {

// 校验发布目录…: the manifest to check, as a path (typed, pasted, or chosen
// with 浏览…) or as the web address clients fetch it from.
class VerifySourceDialog : public QDialog {
  public:
    VerifySourceDialog(QWidget* parent, const QString& lastAddress, OpenFileRequest browse);

    QString Source() const;

    QLineEdit* 编辑框_清单;
    QPushButton* 按钮_浏览;

  private:
    OpenFileRequest browse_;
};

// Shows the dialog; the path or address given, empty when cancelled.
QString AskVerifySource(QWidget* parent, const QString& lastAddress, const OpenFileRequest& browse);

// Tests put their own routine in place of the dialog.
using VerifySourceRoutine = std::function<QString(QWidget*, const QString& lastAddress)>;
void SetVerifySourceRoutine(VerifySourceRoutine routine);

}  // namespace varo
