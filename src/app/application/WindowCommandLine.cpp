#include "app/application/WindowCommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include "app/messages/TextBridge.h"
#include "platform/Path.h"

namespace varo {
namespace {

const QString kUsage = QStringLiteral(
    "用法：varo-toolkit [--settings 文件] [数据库文件]\n"
    "\n"
    "  数据库文件       打开时填入数据库路径（也可以把数据库拖到程序图标上）\n"
    "  --settings 文件  设置（数据库路径、光柱参数、清单模式与版本号等）保存在该文件中，\n"
    "                   例如每台服务器一个；默认为程序目录下的varo-toolkit.ini\n"
    "  --help           显示本说明\n"
    "  --version        显示版本号\n");

// A path from the command line: without the quotes of 复制为路径, and on
// Windows without the quote that "D:\folder\" leaves at its end.
QString ArgumentPath(const QString& argument) {
    return FromUtf8(UnquotedPath(ToUtf8(argument)));
}

}  // namespace

WindowCommandLine ParseWindowCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption settings(QStringLiteral("settings"), QString(),
                                      QStringLiteral("file"));
    const QCommandLineOption help(
        QStringList{QStringLiteral("help"), QStringLiteral("h"), QStringLiteral("?")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({settings, help, version});

    WindowCommandLine commandLine;
    const auto usageError = [&](const QString& reason) {
        commandLine.action = WindowCommandLine::Action::Error;
        commandLine.text = reason + QStringLiteral("\n\n") + kUsage;
        commandLine.exitCode = 2;
        return commandLine;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usageError(
            unknown.isEmpty()
                ? QStringLiteral("选项--settings后缺少文件名。")
                : QStringLiteral("未知的选项：%1%2")
                      .arg(unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"),
                           unknown.first()));
    }
    if (parser.isSet(help)) {
        commandLine.action = WindowCommandLine::Action::Help;
        commandLine.text = kUsage;
        return commandLine;
    }
    if (parser.isSet(version)) {
        commandLine.action = WindowCommandLine::Action::Version;
        commandLine.text = QStringLiteral("varo-toolkit " VARO_VERSION "\n");
        return commandLine;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        return usageError(QStringLiteral("多余的参数：%1").arg(positional[1]));
    }
    if (parser.values(settings).size() > 1) {
        return usageError(QStringLiteral("选项--settings只能给一次。"));
    }
    commandLine.settingsPath = ArgumentPath(parser.value(settings));
    if (parser.isSet(settings) && commandLine.settingsPath.isEmpty()) {
        return usageError(QStringLiteral("选项--settings后缺少文件名。"));
    }
    if (!positional.isEmpty()) {
        commandLine.databasePath = ArgumentPath(positional[0]);
    }
    return commandLine;
}

namespace {

// Escaped for HTML, with names such as varo-toolkit.ini kept on one line:
// a word joiner after a hyphen between letters, where the box would break.
QString Html(const QString& text) {
    static const QRegularExpression kHyphen(QStringLiteral("(?<=\\w)-(?=\\w)"));
    return text.toHtmlEscaped().replace(kHyphen, QStringLiteral("-\u2060"));
}

}  // namespace

QString CommandLineTextAsHtml(const QString& text) {
    // Option lines ("  --help   显示本说明") become the rows of a two-column
    // table, lines indented further continue the row above: the columns line
    // up in any font, Chinese and Latin alike.
    QString html;
    QStringList rows;
    QString option;
    QString description;
    const auto endRow = [&] {
        if (!option.isEmpty()) {
            rows << QStringLiteral(
                        "<tr><td style=\"padding-right:12px\"><nobr>%1</nobr></td>"
                        "<td>%2</td></tr>")
                        .arg(Html(option), description);
        }
        option.clear();
        description.clear();
    };
    const auto endTable = [&] {
        endRow();
        if (!rows.isEmpty()) {
            html += QStringLiteral("<table cellspacing=\"2\">") + rows.join(QString()) +
                    QStringLiteral("</table>");
            rows.clear();
        }
    };
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        const bool indented = line.startsWith(QStringLiteral("  "));
        const qsizetype gap = trimmed.indexOf(QStringLiteral("  "));
        if (indented && gap > 0) {
            endRow();
            option = trimmed.left(gap);
            description = Html(trimmed.mid(gap).trimmed());
        } else if (indented && !option.isEmpty()) {
            description += QStringLiteral("<br>") + Html(trimmed);
        } else {
            endTable();
            if (!trimmed.isEmpty()) {
                html += QStringLiteral("<p>%1</p>").arg(Html(trimmed));
            }
        }
    }
    endTable();
    return html;
}

}  // namespace varo
