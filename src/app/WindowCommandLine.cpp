#include "app/WindowCommandLine.h"

#include <QCommandLineParser>

namespace varo {
namespace {

const QString kUsage = QStringLiteral(
    "用法：varo-toolkit [--settings 文件]\n"
    "\n"
    "  --settings 文件  设置（数据库路径、光柱参数、清单模式与版本号等）保存在该文件中，\n"
    "                   例如每台服务器一个；默认为程序目录下的varo-toolkit.ini\n"
    "  --help           显示本说明\n"
    "  --version        显示版本号\n");

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
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(
            QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().first()));
    }
    if (parser.values(settings).size() > 1) {
        return usageError(QStringLiteral("选项--settings只能给一次。"));
    }
    commandLine.settingsPath = parser.value(settings);
    if (parser.isSet(settings) && commandLine.settingsPath.isEmpty()) {
        return usageError(QStringLiteral("选项--settings后缺少文件名。"));
    }
    return commandLine;
}

}  // namespace varo
