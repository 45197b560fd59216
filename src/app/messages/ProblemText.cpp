#include "app/messages/ProblemText.h"

#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"

namespace varo {
namespace {

// SQLite's code in Chinese, and its own words after ours for a support request.
QString SqliteText(int code, const QString& english) {
    return english.isEmpty()
               ? FromUtf8(SqliteCodeWords(code, Language::Chinese))
               : QStringLiteral("%1（SQLite：%2）")
                     .arg(FromUtf8(SqliteCodeWords(code, Language::Chinese)), english);
}

}  // namespace

QString DatabaseFileProblemText(const DatabaseFileCheck& check) {
    switch (check.kind) {
        case DatabaseFileCheck::Kind::Missing:
            return QStringLiteral("文件不存在");
        case DatabaseFileCheck::Kind::Folder:
            return QStringLiteral("这是一个文件夹，不是数据库文件");
        case DatabaseFileCheck::Kind::NotRegularFile:
            return QStringLiteral("不是普通文件（是管道、设备或套接字），不是数据库文件");
        case DatabaseFileCheck::Kind::Empty:
            return QStringLiteral("文件为空，不是SQLite数据库");
        case DatabaseFileCheck::Kind::NotDatabase:
            return QStringLiteral("不是SQLite数据库文件");
        case DatabaseFileCheck::Kind::Unreadable:
            return QStringLiteral("无法读取：%1")
                .arg(SystemErrorText(check.error, FileAccess::Read));
        case DatabaseFileCheck::Kind::Database:
            break;
    }
    return QString();
}

QString ItemTableProblemText(const ItemTable& table) {
    switch (table.problem) {
        case ItemTable::Problem::File:
            return DatabaseFileProblemText(table.file);
        case ItemTable::Problem::NoTable:
            return QStringLiteral("数据库中没有StdItems表");
        case ItemTable::Problem::TooLarge:
            return QStringLiteral(
                       "StdItems表超出了本程序能载入的大小（%1文本或%2个单元格），"
                       "未载入")
                .arg(SizeText(LargestItemTable::kTextBytes))
                .arg(LargestItemTable::kCells);
        case ItemTable::Problem::Cancelled:
            return QStringLiteral("已取消");
        case ItemTable::Problem::Sqlite:
            break;
        case ItemTable::Problem::None:
            return QString();
    }
    return SqliteText(table.sqliteCode, FromGbk(table.error).trimmed());
}

QString ManifestFaultText(const ManifestFault& fault) {
    return FromUtf8(ManifestFaultWords(fault, Language::Chinese));
}

QString CacheProblemText(const CacheProblem& problem) {
    switch (problem.kind) {
        case CacheProblem::Kind::NoPlace:
            // The reason may hold brackets of its own: after a comma, they do not nest.
            return QStringLiteral("没有缓存文件夹，%1").arg(SystemErrorText(problem.error));
        case CacheProblem::Kind::LibraryMissing:
            return QStringLiteral("无法加载SQLite");
        case CacheProblem::Kind::Sqlite:
            return SqliteText(problem.sqliteCode, FromUtf8(problem.message).trimmed());
        case CacheProblem::Kind::NotOurs:
            return QStringLiteral(
                "那里的文件不是本程序的MD5缓存，已原样保留（删除或移走它即可恢复缓存）");
        case CacheProblem::Kind::None:
            break;
    }
    return QString();
}

}  // namespace varo
