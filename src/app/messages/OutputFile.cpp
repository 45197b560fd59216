#include "app/messages/OutputFile.h"

#include <cerrno>

#include "app/application/WindowProcess.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/widgets/TextBridge.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {

bool WriteOutputFile(const std::string& directory, std::string_view fileName,
                     std::string_view bytes) {
    const std::string path = JoinPath(directory, fileName);
    const bool existed = KindOfPath(path) == PathKind::File;
    const FileWriteResult result = WriteFileAtomically(path, bytes);
    if (result.ok) {
        return true;
    }
    const QString shown = ShownPath(path);
    const int kind = result.error.kind;
    QString text;
    if ((kind == EACCES || kind == EPERM || kind == EROFS) && !FolderTakesNewFiles(directory)) {
        // Program Files, a protected share: the folder itself takes no file.
        text = QStringLiteral(
                   "无法写入文件“%1”：程序所在的文件夹不能写入，%2。\n"
                   "请把程序文件夹移到可以写入的位置（%3）后再生成。")
                   .arg(shown, SystemErrorText(result.error), WritableFolderHint());
    } else {
        text = QStringLiteral("无法写入文件“%1”：%2。").arg(shown, SystemErrorText(result.error));
    }
    if (existed) {
        text += QStringLiteral("\n原有文件保持不变。");
    }
    ShowMessage(MessageKind::Warning, QStringLiteral("生成失败"), text);
    return false;
}

}  // namespace varo
