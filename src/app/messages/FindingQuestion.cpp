#include "app/messages/FindingQuestion.h"
#include "app/messages/ProblemText.h"

#include <QStringList>

#include <cerrno>

#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "app/pages/pillar/LightPillarModel.h"

namespace varo {
namespace {

QString DownloadText(std::uint64_t bytes) {
    QString text = QStringLiteral("%1字节").arg(bytes);
    if (bytes >= 1024 * 1024) {
        // A non-breaking space keeps the number and its unit on one line.
        text += QStringLiteral("（%1\u00A0MB）")
                    .arg(static_cast<double>(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
    }
    return text;
}

}  // namespace

QString FindingCaption(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding&) { return QStringLiteral("参数检查"); },
            [](const NotAFilterFileFinding&) { return QStringLiteral("导入过滤文件"); },
            [](const VersionNotRaisedFinding&) { return QStringLiteral("版本检查"); },
            [](const UnreadablePreviousManifestFinding&) { return QStringLiteral("版本检查"); },
            [](const EmptyResultFinding&) { return QStringLiteral("生成检查"); },
            [](const UncarriableNamesFinding&) { return QStringLiteral("名字检查"); },
            [](const LostCharactersFinding&) { return QStringLiteral("名字检查"); },
            [](const ShineOutOfRangeFinding&) { return QStringLiteral("参数检查"); },
            [](const UncomparableVersionFinding&) { return QStringLiteral("版本检查"); },
            [](const DuplicateNameFinding&) { return QStringLiteral("同名文件"); },
            [](const UnsafeFolderFinding&) { return QStringLiteral("目录检查"); },
            [](const RemovalsFinding&) { return QStringLiteral("清单检查"); },
            [](const OtherFormFinding&) { return QStringLiteral("生成检查"); },
        },
        finding);
}

QString FindingQuestionText(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding& unusable) {
                const QString lines = ListedLines(
                    unusable.values,
                    [](const UnusableValuesFinding::Value& value) {
                        // One arg() call: a name holding "%3" stays as it is.
                        return QStringLiteral("第%1行 %2：%3“%4”")
                            .arg(QString::number(value.row + 1), ShownGbk(value.itemName),
                                 QString::fromUtf8(LightPillarModel::kTitles[value.column]),
                                 ShownGbk(value.text));
                    },
                    QStringLiteral("处"));
                return QStringLiteral(
                           "以下数值客户端无法使用（颜色应为1到255的整数，特效图片数量和"
                           "光柱文件编号应为正整数）：\n") +
                       lines + QStringLiteral("\n\n仍然生成光柱文件吗？");
            },
            [](const NotAFilterFileFinding& file) {
                return QStringLiteral(
                           "文件“%1”看起来不是过滤文件：大多数行不是“名字,类型,极品,捡取,"
                           "显示”的格式，或含有制表符。\n仍然%2吗？")
                    .arg(ShownPath(file.path), file.use == FilterFileUse::Import
                                                   ? QStringLiteral("导入并替换表格中的内容")
                                                   : QStringLiteral("按名称套用其中的标记"));
            },
            [](const VersionNotRaisedFinding& release) {
                const ReleaseComparison& change = release.change;
                const QString next = release.nextVersion.empty()
                                         ? QString()
                                         : QStringLiteral("下一个版本号可以是“%1”。\n\n")
                                               .arg(ShownUtf8(release.nextVersion));
                return QStringLiteral(
                           "版本号未变更：版本号“%1”不大于已有update.json的版本号“%2”，"
                           "但资源有变动，客户端不会更新。\n\n"
                           "新增%3个，变更%4个，删除%5个，客户端需下载%6。\n\n")
                           // One arg() call: a version holding "%3" stays as typed.
                           .arg(ShownUtf8(release.version), ShownUtf8(release.previousVersion),
                                QString::number(change.added), QString::number(change.changed),
                                QString::number(change.removed),
                                DownloadText(change.downloadBytes)) +
                       next + QStringLiteral("仍然生成吗？");
            },
            [](const UnreadablePreviousManifestFinding& previous) {
                const QString reason =
                    previous.error.kind == EFBIG
                        ? QStringLiteral("文件大于%1").arg(SizeText(previous.sizeLimit))
                    : previous.error ? SystemErrorText(previous.error)
                                     : QStringLiteral("不是有效的清单：%1")
                                           .arg(ManifestFaultText(previous.fault));
                return QStringLiteral(
                           "已有的文件“%1”无法读取：%2。\n无法与它比较版本号和资源。"
                           "\n\n仍然生成吗？生成后它将被替换。")
                    .arg(ShownPath(previous.path), reason);
            },
            [](const EmptyResultFinding& empty) {
                if (empty.previousEntries > 0) {
                    return QStringLiteral(
                               "新的清单中没有任何文件，而已有的文件“%1”列有%2个文件。\n"
                               "生成后客户端将得到一个空的清单。\n\n仍然生成吗？")
                        .arg(ShownPath(empty.path))
                        .arg(empty.previousEntries);
                }
                return QStringLiteral(
                           "要生成的内容为空（尚未载入或计算？），而已有的文件“%1”有%2字节。\n"
                           "生成后它将变成空文件。\n\n仍然生成吗？")
                    .arg(ShownPath(empty.path))
                    .arg(empty.previousSize);
            },
            [](const UncarriableNamesFinding& names) {
                return QStringLiteral(
                           "以下物品名字含有制表符或换行符。写入文件“%1”后，制表符会多分出一列，"
                           "换行符会把一行断成两行，客户端和导入都无法正确读取：\n")
                           .arg(FromUtf8(names.fileName)) +
                       ListedLines(
                           names.names,
                           [](const UncarriableNamesFinding::Name& name) {
                               return QStringLiteral("第%1行 “%2”")
                                   .arg(QString::number(name.row + 1), ShownGbk(name.name));
                           },
                           QStringLiteral("个")) +
                       QStringLiteral("\n\n仍然生成吗？");
            },
            [](const LostCharactersFinding& lost) {
                return QStringLiteral(
                           "以下物品名字含有GBK编码中没有的字符，写入文件“%1”时这些字符将变为"
                           "“?”，与服务器中的名字不再一致：\n")
                           .arg(FromUtf8(lost.fileName)) +
                       ListedLines(
                           lost.names,
                           [](const LostCharactersFinding::Name& name) {
                               return QStringLiteral("第%1行 %2 → %3")
                                   .arg(QString::number(name.row + 1), ShownUtf8(name.original),
                                        ShownGbk(name.written));
                           },
                           QStringLiteral("个")) +
                       QStringLiteral("\n\n仍然生成吗？");
            },
            [](const ShineOutOfRangeFinding& shine) {
                return QStringLiteral(
                           "以下物品的光柱值（第38列）超出32位整数的范围"
                           "（-2147483648到2147483647），计算结果将不正确，有的物品"
                           "可能不会出现在列表中：\n") +
                       ListedLines(
                           shine.values,
                           [](const ShineOutOfRangeFinding::Value& value) {
                               return QStringLiteral("第%1个物品 %2：“%3”")
                                   .arg(QString::number(value.item), ShownGbk(value.itemName),
                                        ShownGbk(value.text));
                           },
                           QStringLiteral("处")) +
                       QStringLiteral("\n\n仍然计算吗？");
            },
            [](const UncomparableVersionFinding& version) {
                if (version.whiteSpace) {
                    return QStringLiteral(
                               "版本号“%1”的前后有空白字符，它们会原样写入文件，客户端比较版本号时"
                               "可能出错。\n\n仍然生成吗？")
                        .arg(ShownUtf8(version.version));
                }
                return QStringLiteral(
                           "版本号“%1”不是用点分隔的数字（例如1.2.5），客户端无法比较版本号，"
                           "可能不会更新。\n\n仍然生成吗？")
                    .arg(ShownUtf8(version.version));
            },
            [](const DuplicateNameFinding& duplicate) {
                return QStringLiteral(
                           "以下文件名来自两个内容不同的文件，清单中只能保留一个（后一个）：\n") +
                       ListedLines(
                           duplicate.names,
                           [](const DuplicateNameFinding::Name& name) {
                               const QString earlier = name.earlierPath.empty()
                                                           ? QStringLiteral("列表中已有的文件")
                                                           : ShownPath(name.earlierPath);
                               return QStringLiteral("%1：%2（%3，%4字节）与 %5（%6，%7字节）")
                                   .arg(ShownUtf8(name.name), earlier, FromUtf8(name.earlierMd5),
                                        QString::number(name.earlierSize),
                                        ShownPath(name.laterPath), FromUtf8(name.laterMd5),
                                        QString::number(name.laterSize));
                           },
                           QStringLiteral("个")) +
                       QStringLiteral("\n\n仍然用后一个文件吗？");
            },
            [](const UnsafeFolderFinding& folder) {
                const QString why =
                    folder.reason == UnsafeFolderFinding::Reason::LeavesRoot
                        ? QStringLiteral("会指向更新目录之外（含“..”、以“/”开头或带盘符）")
                    : folder.reason == UnsafeFolderFinding::Reason::Backslash
                        ? QStringLiteral("含有反斜杠“\\”，客户端不会把它当作目录分隔符")
                        : QStringLiteral("含有空的目录名（以“/”结尾或连续两个“/”）");
                return QStringLiteral(
                           "自定义目录“%1”%2，客户端可能无法下载这些文件。\n\n"
                           "仍然生成吗？")
                    .arg(ShownUtf8(folder.directory), why);
            },
            [](const RemovalsFinding& removals) {
                return QStringLiteral(
                           "已有的文件“%1”列有%2个文件，新的清单将删除其中%3个，只列%4个，"
                           "超过了一半（是否少导入了文件夹，或选错了模式？）。\n\n仍然生成吗？")
                    .arg(ShownPath(removals.path), QString::number(removals.previousEntries),
                         QString::number(removals.removed), QString::number(removals.entries));
            },
            [](const OtherFormFinding& form) {
                const auto name = [](FilterFileForm f) {
                    return f == FilterFileForm::Pc ? QStringLiteral("PC版（ANSI编码）")
                                                   : QStringLiteral("手机版（UTF-8编码）");
                };
                return QStringLiteral(
                           "已有的文件“%1”是%2过滤文件，生成%3会替换它，"
                           "%4客户端将失去它的过滤文件。\n\n仍然生成吗？")
                    .arg(ShownPath(form.path), name(form.existing), name(form.written),
                         form.existing == FilterFileForm::Pc ? QStringLiteral("PC")
                                                             : QStringLiteral("手机"));
            },
        },
        finding);
}

bool ConfirmFinding(const std::optional<Finding>& finding) {
    return !finding || AskQuestion(FindingCaption(*finding), FindingQuestionText(*finding));
}

void ShowEmptyTableNote(const EmptyTableNote& note, const QString& caption, const QString& result) {
    QString text;
    switch (note.reason) {
        case EmptyTableNote::Reason::NoItems:
            text = QStringLiteral("StdItems表中没有物品，%1为空。").arg(result);
            break;
        case EmptyTableNote::Reason::TooFewColumns:
            text = QStringLiteral("StdItems表只有%1列，没有第38列（光柱值），%2为空。")
                       .arg(note.columns)
                       .arg(result);
            break;
        case EmptyTableNote::Reason::NoShineValue:
            text = QStringLiteral("没有光柱值（第38列）达到100的物品，%1为空。").arg(result);
            break;
    }
    ShowMessage(MessageKind::Plain, caption, text);
}

bool ConfirmFindings(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings) {
        if (!ConfirmFinding(finding)) {
            return false;
        }
    }
    return true;
}

}  // namespace varo
