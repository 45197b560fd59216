#include "app/DatabaseLoad.h"

#include <QDir>
#include <QFileInfo>

#include "app/Dialogs.h"
#include "app/TextBridge.h"
#include "platform/Path.h"

namespace varo {
namespace {

QString FailureReason(const QString& path, const std::string& error) {
    const QFileInfo file(path);
    if (!file.exists()) {
        return QStringLiteral("文件不存在");
    }
    if (file.isDir()) {
        return QStringLiteral("这是一个目录，不是数据库文件");
    }
    if (error.find("file is not a database") != std::string::npos) {
        return QStringLiteral("不是SQLite数据库文件");
    }
    if (error.find("no such table") != std::string::npos) {
        return QStringLiteral("数据库中没有StdItems表");
    }
    return QStringLiteral("数据库无法读取（%1）").arg(FromGbk(error));
}

}  // namespace

std::optional<ItemTable> LoadItemTableOrWarn(SqliteConnection& connection, const QString& typed,
                                             const std::vector<int>& columns) {
    // Pasted from Explorer's 复制为路径 the path comes in double quotes.
    const QString path = FromUtf8(UnquotedPath(ToUtf8(typed.trimmed())));
    ItemTable table = LoadItemTable(connection, ToUtf8(path), columns);
    if (table.ok) {
        return table;
    }
    ShowMessage(
        MessageKind::Warning, QStringLiteral("载入失败"),
        path.isEmpty()
            ? QStringLiteral("尚未选择数据库文件，请先点击“选择Sqlite数据库”。\n表格保持不变。")
            : QStringLiteral("无法读取数据库“%1”：%2。\n表格保持不变。")
                  .arg(QDir::toNativeSeparators(path), FailureReason(path, table.error)));
    return std::nullopt;
}

}  // namespace varo
