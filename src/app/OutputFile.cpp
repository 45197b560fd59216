#include "app/OutputFile.h"

#include "app/Dialogs.h"
#include "app/SystemErrorText.h"
#include "app/TextBridge.h"
#include "platform/FileIo.h"

namespace varo {

std::string OutputFilePath(const std::string& directory, std::string_view fileName) {
    std::string path = directory;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    path += fileName;
    return path;
}

bool WriteOutputFile(const std::string& directory, std::string_view fileName,
                     std::string_view bytes) {
    const std::string path = OutputFilePath(directory, fileName);
    const FileWriteResult result = WriteFileAtomically(path, bytes);
    if (!result.ok) {
        ShowMessage(MessageKind::Warning, QStringLiteral("生成失败"),
                    QStringLiteral("无法写入文件“%1”：%2。\n原有文件保持不变。")
                        .arg(FromUtf8(path), SystemErrorText(result.errorCode)));
    }
    return result.ok;
}

}  // namespace varo
