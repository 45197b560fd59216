#include "app/pages/manifest/VerifySourceDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varo {
namespace {

VerifySourceRoutine& Routine() {
    static VerifySourceRoutine routine;
    return routine;
}

}  // namespace

VerifySourceDialog::VerifySourceDialog(QWidget* parent, const QString& lastAddress,
                                       OpenFileRequest browse)
    : QDialog(parent), browse_(std::move(browse)) {
    setWindowTitle(QStringLiteral("校验发布目录"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("要校验的update.json或单json文件.json：本机的路径，或客户端下载它的网址"
                       "（http://或https://）"),
        this));
    auto* row = new QHBoxLayout;
    编辑框_清单 = new QLineEdit(lastAddress, this);
    编辑框_清单->setObjectName(QStringLiteral("编辑框_清单"));
    编辑框_清单->setMinimumWidth(460);
    编辑框_清单->setPlaceholderText(QStringLiteral("https://cdn.example.com/update/update.json"));
    按钮_浏览 = new QPushButton(QStringLiteral("浏览…"), this);
    按钮_浏览->setObjectName(QStringLiteral("按钮_浏览"));
    row->addWidget(编辑框_清单);
    row->addWidget(按钮_浏览);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* check = buttons->addButton(QStringLiteral("校验"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    check->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(按钮_浏览, &QPushButton::clicked, this, [this] {
        const QStringList chosen = RunOpenFileDialog(this, browse_);
        if (!chosen.isEmpty()) {
            编辑框_清单->setText(chosen.first());
        }
    });
    const auto enable = [this, check] { check->setEnabled(!Source().isEmpty()); };
    connect(编辑框_清单, &QLineEdit::textChanged, this, enable);
    enable();
}

QString VerifySourceDialog::Source() const {
    return 编辑框_清单->text().trimmed();
}

QString AskVerifySource(QWidget* parent, const QString& lastAddress,
                        const OpenFileRequest& browse) {
    if (Routine()) {
        return Routine()(parent, lastAddress);
    }
    VerifySourceDialog dialog(parent, lastAddress, browse);
    return dialog.exec() == QDialog::Accepted ? dialog.Source() : QString();
}

void SetVerifySourceRoutine(VerifySourceRoutine routine) {
    Routine() = std::move(routine);
}

}  // namespace varo
