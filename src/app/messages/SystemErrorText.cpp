#include "app/messages/SystemErrorText.h"

#include <cerrno>

#include "app/messages/MessageText.h"
#include "app/messages/TextBridge.h"

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

}  // namespace varo
