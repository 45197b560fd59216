#include "app/application/WindowSettings.h"

#include <QStandardPaths>

#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/messages/TextBridge.h"
#include "app/window/MainWindow.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {

std::string SettingsFilePath(const std::string& programDirectory) {
    if (FolderTakesNewFiles(programDirectory)) {
        return JoinPath(programDirectory, kSettingsFileName);
    }
    return JoinPath(ToUtf8(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)),
                    kSettingsFileName);
}

void ReportSettingsFileAtStart(const std::string& path, const SettingsFileState& state) {
    if (state.kind == SettingsFileState::Kind::Foreign) {
        ShowMessage(
            MessageKind::Warning, QStringLiteral("设置"),
            QStringLiteral("文件“%1”不是设置文件，本次的设置不会保存。").arg(ShownPath(path)));
    }
}

void SaveSettingsAtClose(const std::string& path, const SettingsFileState& state,
                         const Settings& settings) {
    const SettingsSave save = SaveSettingsFile(path, state, settings);
    if (save.outcome == SettingsSave::Outcome::Failed) {
        ShowMessage(MessageKind::Warning, QStringLiteral("设置未保存"),
                    QStringLiteral("无法保存设置文件“%1”：%2。\n本次的设置没有保存。")
                        .arg(ShownPath(path), SystemErrorText(save.error)));
        return;
    }
    if (!save.tooLong.empty()) {
        QStringList names;
        for (const std::string& name : save.tooLong) {
            names << MainWindow::SettingCaption(name);
        }
        ShowMessage(MessageKind::Warning, QStringLiteral("设置未全部保存"),
                    QStringLiteral("以下设置的内容太长，没有记住：%1。\n其它设置已保存在“%2”中。")
                        .arg(names.join(QStringLiteral("、")), ShownPath(path)));
    }
}

}  // namespace varo
