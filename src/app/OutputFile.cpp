#include "app/OutputFile.h"

#include "app/Dialogs.h"
#include "app/SystemErrorText.h"
#include "app/TextBridge.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {

bool WriteOutputFile(const std::string& directory, std::string_view fileName,
                     std::string_view bytes) {
    const std::string path = JoinPath(directory, fileName);
    const FileWriteResult result = WriteFileAtomically(path, bytes);
    if (!result.ok) {
        ShowMessage(MessageKind::Warning, QStringLiteral("生成失败"),
                    QStringLiteral("无法写入文件“%1”：%2。\n原有文件保持不变。")
                        .arg(FromUtf8(DisplayPath(path)), SystemErrorText(result.error)));
    }
    return result.ok;
}

}  // namespace varo
