#include "app/messages/SystemErrorText.h"

#include <cerrno>

#include "app/messages/MessageText.h"
#include "app/widgets/TextBridge.h"

namespace varo {
namespace {

QString KindText(int kind, FileAccess access) {
    switch (kind) {
        case EACCES:
        case EPERM:
            return QStringLiteral("没有访问权限");
        case ENOSPC:
            return QStringLiteral("磁盘空间不足");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("超出磁盘配额");
#endif
        case EFBIG:
            return QStringLiteral("文件超出允许的大小");
        case EROFS:
            return QStringLiteral("所在的磁盘是只读的");
        case ENOENT:
            return QStringLiteral("文件或目录不存在");
        case ENOTDIR:
            return QStringLiteral("路径中有一部分不是目录");
        case EISDIR:
            return access == FileAccess::Read ? QStringLiteral("这是一个文件夹，不是文件")
                                              : QStringLiteral("同名的目录已存在");
        case EEXIST:
            return QStringLiteral("文件已存在");
        case EINVAL:
            return QStringLiteral("文件名或路径的写法不正确");
        case EHOSTUNREACH:
            return QStringLiteral("找不到网络路径");
        case ENAMETOOLONG:
            return QStringLiteral("文件名过长");
        case ELOOP:
            return QStringLiteral("符号链接层数过多");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("文件正被其它程序占用");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("打开的文件过多");
        case ENOMEM:
            return QStringLiteral("内存不足");
        case ECANCELED:
            return QStringLiteral("已取消");
        case EIO:
            return QStringLiteral("磁盘读写错误");
        case kNotRegularFile:
            return QStringLiteral("不是普通文件（是管道、设备或套接字），不能读取");
        case kChangedWhileRead:
            return QStringLiteral("读取过程中文件发生了变化，请在复制完成后重新导入");
        case kReservedDeviceName:
            return QStringLiteral(
                "这是Windows保留给设备的名字（如CON、NUL、AUX、COM1），不能用作文件名");
        case kNameHoldsLineBreak:
            return QStringLiteral("文件名含换行符，列表无法容纳");
        case kReadOnlyTarget:
            return QStringLiteral("已有的文件是只读的（只读属性），未被替换");
        case kFolderPassedOver:
            return QStringLiteral("是文件夹中的文件夹，其中的文件不会导入");
        case kNameNotUtf8:
            return QStringLiteral(
                "文件名不是UTF-8编码（\\xHH是无法识别的原始字节），清单无法写出这个名字，"
                "客户端无法下载");
        default:
            return QStringLiteral("系统错误 %1").arg(kind);
    }
}

// SQLite's primary result codes a user can meet, in Chinese.
QString SqliteCodeText(int code) {
    switch (code) {
        case 5:  // SQLITE_BUSY
        case 6:  // SQLITE_LOCKED
            return QStringLiteral("数据库正被其它程序使用（已锁定），请稍后再试");
        case 26:  // SQLITE_NOTADB
            return QStringLiteral("不是SQLite数据库文件");
        case 11:  // SQLITE_CORRUPT
            return QStringLiteral("数据库文件已损坏");
        case 14:  // SQLITE_CANTOPEN
            return QStringLiteral("无法打开数据库文件");
        case 10:  // SQLITE_IOERR
            return QStringLiteral("读取数据库时发生磁盘读写错误");
        case 13:  // SQLITE_FULL
            return QStringLiteral("磁盘空间不足");
        case 8:  // SQLITE_READONLY
            return QStringLiteral("数据库是只读的");
        case 7:  // SQLITE_NOMEM
            return QStringLiteral("内存不足");
        case 3:   // SQLITE_PERM
        case 23:  // SQLITE_AUTH
            return QStringLiteral("没有访问数据库的权限");
        default:
            return QStringLiteral("数据库无法读取");
    }
}

// SQLite's code in Chinese, and its own words after ours for a support request.
QString SqliteText(int code, const QString& english) {
    return english.isEmpty()
               ? SqliteCodeText(code)
               : QStringLiteral("%1（SQLite：%2）").arg(SqliteCodeText(code), english);
}

}  // namespace

QString SystemErrorText(const SystemError& error, FileAccess access) {
    const QString kind = KindText(error.kind, access);
    if (error.code == 0) {
        return kind;  // found by the program itself: no system message to add
    }
    QString message = FromUtf8(SystemErrorMessage(error)).trimmed();
    while (message.endsWith(QLatin1Char('.')) || message.endsWith(QChar(0x3002))) {
        message.chop(1);
    }
    // The system's message in brackets, its own brackets made round ones
    // so that they do not nest.
    message.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));
    return message.isEmpty() || message == kind ? kind
                                                : QStringLiteral("%1（%2）").arg(kind, message);
}

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
    switch (fault.kind) {
        case ManifestFault::Kind::Syntax:
            return fault.line > 0 ? QStringLiteral("第%1行第%2列不是正确的JSON")
                                        .arg(fault.line)
                                        .arg(fault.column)
                                  : QStringLiteral("不是正确的JSON");
        case ManifestFault::Kind::NoVersion:
            return QStringLiteral("没有文本形式的“assets_version”");
        case ManifestFault::Kind::NoList:
            return QStringLiteral("没有“md5list”数组");
        case ManifestFault::Kind::BadEntry:
            return QStringLiteral("“md5list”的第%1项缺少文本形式的“filename”、“md5”或“size”")
                .arg(fault.entry);
        case ManifestFault::Kind::TooDeep:
            return QStringLiteral("嵌套层数过多");
        case ManifestFault::Kind::None:
            break;
    }
    return QStringLiteral("不是有效的清单");
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
