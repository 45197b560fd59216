#include "app/messages/OutputFile.h"

#include <cerrno>

#include "app/application/WindowProcess.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {

bool WriteOutputFile(const PlannedOutput& output) {
    const CommittedOutput committed = CommitOutput(output);
    if (committed.ok()) {
        return true;
    }
    const QString shown = ShownPath(committed.path);
    QString text;
    if (!committed.folderTakesNewFiles) {
        // Program Files, a protected share: the folder itself takes no file.
        text = QStringLiteral(
                   "无法写入文件“%1”：程序所在的文件夹不能写入，%2。\n"
                   "请把程序文件夹移到可以写入的位置（%3）后再生成。")
                   .arg(shown, SystemErrorText(committed.error), WritableFolderHint());
    } else {
        text =
            QStringLiteral("无法写入文件“%1”：%2。").arg(shown, SystemErrorText(committed.error));
    }
    if (committed.replaced) {
        text += QStringLiteral("\n原有文件保持不变。");
    }
    ShowMessage(MessageKind::Warning, QStringLiteral("生成失败"), text);
    return false;
}

}  // namespace varo
