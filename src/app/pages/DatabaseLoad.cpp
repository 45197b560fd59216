#include "app/pages/DatabaseLoad.h"

#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/widgets/TextBridge.h"
#include "platform/Path.h"

namespace varo {

std::optional<ItemTable> LoadItemTableOrWarn(SqliteConnection& connection, const QString& typed,
                                             const std::vector<int>& columns) {
    // Pasted from Explorer's 复制为路径 the path comes in double quotes.
    const std::string path = UnquotedPath(ToUtf8(typed.trimmed()));
    if (path.empty()) {
        ShowMessage(
            MessageKind::Warning, QStringLiteral("载入失败"),
            QStringLiteral("尚未选择数据库文件，请先点击“选择Sqlite数据库”。\n表格保持不变。"));
        return std::nullopt;
    }
    ItemTable table = LoadItemTable(connection, path, columns);
    if (table.ok) {
        return table;
    }
    ShowMessage(MessageKind::Warning, QStringLiteral("载入失败"),
                QStringLiteral("无法读取数据库“%1”：%2。\n表格保持不变。")
                    .arg(ShownPath(path), ItemTableProblemText(table)));
    return std::nullopt;
}

}  // namespace varo
