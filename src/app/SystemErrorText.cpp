#include "app/SystemErrorText.h"

#include <cerrno>

#include "app/TextBridge.h"

namespace varo {
namespace {

QString KindText(int kind) {
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
            return QStringLiteral("同名的目录已存在");
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
        default:
            return QStringLiteral("系统错误 %1").arg(kind);
    }
}

}  // namespace

QString SystemErrorText(const SystemError& error) {
    QString message = FromUtf8(SystemErrorMessage(error)).trimmed();
    while (message.endsWith(QLatin1Char('.')) || message.endsWith(QChar(0x3002))) {
        message.chop(1);
    }
    const QString kind = KindText(error.kind);
    return message.isEmpty() || message == kind ? kind
                                                : QStringLiteral("%1（%2）").arg(kind, message);
}

}  // namespace varo
