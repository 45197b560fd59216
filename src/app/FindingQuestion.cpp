#include "app/FindingQuestion.h"

#include <QStringList>

#include <cerrno>

#include "app/Dialogs.h"
#include "app/LightPillarModel.h"
#include "app/SystemErrorText.h"
#include "app/TextBridge.h"
#include "platform/Path.h"

namespace varo {
namespace {

QString Shown(const std::string& path) {
    return FromUtf8(DisplayPath(path));
}

QString DownloadText(std::uint64_t bytes) {
    QString text = QStringLiteral("%1字节").arg(bytes);
    if (bytes >= 1024 * 1024) {
        text += QStringLiteral("（%1 MB）")
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
        },
        finding);
}

QString FindingQuestionText(const Finding& finding) {
    return std::visit(
        FindingVisitor{
            [](const UnusableValuesFinding& unusable) {
                QStringList lines;
                for (std::size_t i = 0; i < unusable.values.size() && i < kUnusableValuesListed;
                     ++i) {
                    const UnusableValuesFinding::Value& value = unusable.values[i];
                    // One arg() call: a name holding "%3" stays as it is.
                    lines << QStringLiteral("第%1行 %2：%3“%4”")
                                 .arg(QString::number(value.row + 1), FromGbk(value.itemName),
                                      QString::fromUtf8(LightPillarModel::kTitles[value.column]),
                                      FromGbk(value.text));
                }
                if (unusable.values.size() > kUnusableValuesListed) {
                    lines << QStringLiteral("……另有%1处")
                                 .arg(unusable.values.size() - kUnusableValuesListed);
                }
                return QStringLiteral(
                           "以下数值客户端无法使用（颜色应为1到255的整数，特效图片数量和"
                           "光柱文件编号应为正整数）：\n") +
                       lines.join(QLatin1Char('\n')) + QStringLiteral("\n\n仍然生成光柱文件吗？");
            },
            [](const NotAFilterFileFinding& file) {
                return QStringLiteral(
                           "文件“%1”看起来不是过滤文件：大多数行不是“名字,类型,极品,捡取,"
                           "显示”的格式，或含有制表符。\n仍然%2吗？")
                    .arg(Shown(file.path), file.use == FilterFileUse::Import
                                               ? QStringLiteral("导入并替换表格中的内容")
                                               : QStringLiteral("按名称套用其中的标记"));
            },
            [](const VersionNotRaisedFinding& release) {
                const ReleaseComparison& change = release.change;
                return QStringLiteral(
                           "版本号未变更：版本号“%1”不大于已有update.json的版本号“%2”，"
                           "但资源有变动，客户端不会更新。\n\n"
                           "新增%3个，变更%4个，删除%5个，客户端需下载%6。\n\n仍然生成吗？")
                    // One arg() call: a version holding "%3" stays as typed.
                    .arg(FromUtf8(release.version), FromUtf8(release.previousVersion),
                         QString::number(change.added), QString::number(change.changed),
                         QString::number(change.removed), DownloadText(change.downloadBytes));
            },
            [](const UnreadablePreviousManifestFinding& previous) {
                const QString reason =
                    previous.error.kind == EFBIG ? QStringLiteral("文件大于64 MiB")
                    : previous.error
                        ? SystemErrorText(previous.error)
                        : QStringLiteral("不是有效的清单：%1").arg(FromUtf8(previous.detail));
                return QStringLiteral(
                           "已有的文件“%1”无法读取（%2），无法与它比较版本号和资源。"
                           "\n\n仍然生成吗？生成后它将被替换。")
                    .arg(Shown(previous.path), reason);
            },
        },
        finding);
}

bool ConfirmFinding(const std::optional<Finding>& finding) {
    return !finding || AskQuestion(FindingCaption(*finding), FindingQuestionText(*finding));
}

}  // namespace varo
