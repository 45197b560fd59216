#include "checks/Words.h"

#include <cerrno>

#include "platform/SystemError.h"

namespace varo {
namespace {

struct Pair {
    const char* english;
    const char* chinese;
};

std::string In(Language language, Pair words) {
    return language == Language::Chinese ? words.chinese : words.english;
}

Pair KindPair(int kind, FileAccess access) {
    switch (kind) {
        case EACCES:
        case EPERM:
            return {"permission denied", "没有访问权限"};
        case ENOSPC:
            return {"no space left on the disk", "磁盘空间不足"};
#ifdef EDQUOT
        case EDQUOT:
            return {"disk quota exceeded", "超出磁盘配额"};
#endif
        case EFBIG:
            return {"file larger than allowed", "文件超出允许的大小"};
        case EROFS:
            return {"the disk is read-only", "所在的磁盘是只读的"};
        case ENOENT:
            return {"no such file or folder", "文件或目录不存在"};
        case ENOTDIR:
            return {"a part of the path is not a folder", "路径中有一部分不是目录"};
        case EISDIR:
            return access == FileAccess::Read
                       ? Pair{"a folder, not a file", "这是一个文件夹，不是文件"}
                       : Pair{"a folder of that name is there", "同名的目录已存在"};
        case EEXIST:
            return {"the file exists", "文件已存在"};
        case EINVAL:
            return {"the name or path is not written right", "文件名或路径的写法不正确"};
        case EHOSTUNREACH:
            return {"the network path cannot be found", "找不到网络路径"};
        case ENAMETOOLONG:
            return {"the name is too long", "文件名过长"};
        case ELOOP:
            return {"too many levels of symbolic links", "符号链接层数过多"};
        case EBUSY:
        case ETXTBSY:
            return {"another program is using the file", "文件正被其它程序占用"};
        case EMFILE:
        case ENFILE:
            return {"too many open files", "打开的文件过多"};
        case ENOMEM:
            return {"out of memory", "内存不足"};
        case ECANCELED:
            return {"cancelled", "已取消"};
        case EIO:
            return {"input/output error of the disk", "磁盘读写错误"};
        case kNotRegularFile:
            return {ProgramFailureMessage(kind), "不是普通文件（是管道、设备或套接字），不能读取"};
        case kChangedWhileRead:
            return {ProgramFailureMessage(kind),
                    "读取过程中文件发生了变化，请在复制完成后重新导入"};
        case kReservedDeviceName:
            return {ProgramFailureMessage(kind),
                    "这是Windows保留给设备的名字（如CON、NUL、AUX、COM1），不能用作文件名"};
        case kNameHoldsLineBreak:
            return {ProgramFailureMessage(kind), "文件名含换行符，列表无法容纳"};
        case kReadOnlyTarget:
            return {ProgramFailureMessage(kind), "已有的文件是只读的（只读属性），未被替换"};
        case kFolderPassedOver:
            return {ProgramFailureMessage(kind), "是文件夹中的文件夹，其中的文件不会导入"};
        case kNameNotUtf8:
            return {ProgramFailureMessage(kind),
                    "文件名不是UTF-8编码（\\xHH是无法识别的原始字节），清单无法写出这个名字，"
                    "客户端无法下载"};
        default:
            return {nullptr, nullptr};
    }
}

}  // namespace

std::string SizeWords(std::uint64_t bytes, Language language) {
    if (bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + (language == Language::Chinese ? "\u00A0MiB" : " MiB");
    }
    if (language == Language::Chinese) {
        return std::to_string(bytes) + "字节";
    }
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string RestWords(std::size_t rest, std::string_view unit, Language language) {
    return language == Language::Chinese ? "……另有" + std::to_string(rest) + std::string(unit)
                                         : "and " + std::to_string(rest) + " more";
}

std::string SystemErrorKindWords(int kind, FileAccess access, Language language) {
    const Pair words = KindPair(kind, access);
    if (words.english == nullptr) {
        return (language == Language::Chinese ? "系统错误 " : "system error ") +
               std::to_string(kind);
    }
    return In(language, words);
}

std::string SqliteCodeWords(int code, Language language) {
    switch (code) {
        case 5:  // SQLITE_BUSY
        case 6:  // SQLITE_LOCKED
            return In(language, {"another program is using the database (locked); try again later",
                                 "数据库正被其它程序使用（已锁定），请稍后再试"});
        case 26:  // SQLITE_NOTADB
            return In(language, {"not an SQLite database file", "不是SQLite数据库文件"});
        case 11:  // SQLITE_CORRUPT
            return In(language, {"the database file is damaged", "数据库文件已损坏"});
        case 14:  // SQLITE_CANTOPEN
            return In(language, {"the database file cannot be opened", "无法打开数据库文件"});
        case 10:  // SQLITE_IOERR
            return In(language, {"input/output error of the disk while reading the database",
                                 "读取数据库时发生磁盘读写错误"});
        case 13:  // SQLITE_FULL
            return In(language, {"no space left on the disk", "磁盘空间不足"});
        case 8:  // SQLITE_READONLY
            return In(language, {"the database is read-only", "数据库是只读的"});
        case 7:  // SQLITE_NOMEM
            return In(language, {"out of memory", "内存不足"});
        case 3:   // SQLITE_PERM
        case 23:  // SQLITE_AUTH
            return In(language, {"no permission to the database", "没有访问数据库的权限"});
        default:
            return In(language, {"the database cannot be read", "数据库无法读取"});
    }
}

std::string ManifestFaultWords(const ManifestFault& fault, Language language) {
    const bool chinese = language == Language::Chinese;
    switch (fault.kind) {
        case ManifestFault::Kind::Syntax:
            if (fault.line == 0) {
                return In(language, {"not well-formed JSON", "不是正确的JSON"});
            }
            return chinese ? "第" + std::to_string(fault.line) + "行第" +
                                 std::to_string(fault.column) + "列不是正确的JSON"
                           : "not well-formed JSON at line " + std::to_string(fault.line) +
                                 ", column " + std::to_string(fault.column);
        case ManifestFault::Kind::NoVersion:
            return In(language, {"no \"assets_version\" text", "没有文本形式的“assets_version”"});
        case ManifestFault::Kind::NoList:
            return In(language, {"no \"md5list\" array", "没有“md5list”数组"});
        case ManifestFault::Kind::BadEntry:
            return chinese ? "“md5list”的第" + std::to_string(fault.entry) +
                                 "项缺少文本形式的“filename”、“md5”或“size”"
                           : "entry " + std::to_string(fault.entry) +
                                 " of \"md5list\" lacks a \"filename\", \"md5\" or \"size\" text";
        case ManifestFault::Kind::TooDeep:
            return In(language, {"nested too deep", "嵌套层数过多"});
        case ManifestFault::Kind::None:
            break;
    }
    return In(language, {"not a valid manifest", "不是有效的清单"});
}

}  // namespace varo
