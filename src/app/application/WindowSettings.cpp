#include "app/application/WindowSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTabWidget>

#include <array>
#include <utility>

#include "app/messages/FileDialogs.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/MessageText.h"
#include "app/messages/SystemErrorText.h"
#include "app/pages/manifest/ManifestPage.h"
#include "app/pages/pillar/LightPillarPage.h"
#include "app/widgets/TextBridge.h"
#include "app/window/MainWindow.h"
#include "platform/FileIo.h"
#include "platform/Path.h"

namespace varo {
namespace {

constexpr const char* kDialogFolderPrefix = "dialog.";
constexpr const char* kDialogFilterPrefix = "dialogType.";

// The text boxes whose text is remembered as it stands, by setting name.
std::array<std::pair<const char*, QLineEdit*>, 6> TextBoxes(const MainWindow& window) {
    return {{
        {"database", window.编辑框_数据库文件路径},
        {"pillar.color", window.lightPillarPage->编辑框_颜色值},
        {"pillar.effectCount", window.lightPillarPage->编辑框_特效图片数量自计算},
        {"pillar.fileNumber", window.lightPillarPage->编辑框_光柱wzl文件序号},
        {"manifest.directory", window.manifestPage->编辑框_自定义目录名},
        {"manifest.version", window.manifestPage->编辑框_版本号},
    }};
}

std::pair<const char*, QCheckBox*> ModeBox(const ManifestPage& page, ManifestMode mode) {
    switch (mode) {
        case ManifestMode::MicroClient:
            return {"micro", page.选择框_微端模式};
        case ManifestMode::CustomDirectory:
            return {"custom", page.选择框_自定义目录名};
        case ManifestMode::HotUpdate:
            break;
    }
    return {"hot", page.选择框_热更模式};
}

// What the user calls a setting: the caption beside its box.
QString SettingCaption(const std::string& name) {
    static const std::pair<const char*, const char*> kCaptions[] = {
        {"database", "数据库路径"},
        {"pillar.color", "全部颜色"},
        {"pillar.effectCount", "特效图片数量自计算"},
        {"pillar.fileNumber", "gz.wzl文件序号"},
        {"manifest.directory", "目录名(字体)"},
        {"manifest.version", "版本号"},
    };
    for (const auto& [key, caption] : kCaptions) {
        if (name == key) {
            return QString::fromUtf8(caption);
        }
    }
    return name.rfind(kDialogFolderPrefix, 0) == 0 ? QStringLiteral("对话框上次的文件夹")
           : name.rfind(kDialogFilterPrefix, 0) == 0 ? QStringLiteral("对话框上次的文件类型")
                                                     : FromUtf8(name);
}

}  // namespace

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
            names << SettingCaption(name);
        }
        ShowMessage(MessageKind::Warning, QStringLiteral("设置未全部保存"),
                    QStringLiteral("以下设置的内容太长，没有记住：%1。\n其它设置已保存在“%2”中。")
                        .arg(names.join(QStringLiteral("、")), ShownPath(path)));
    }
}

Settings CaptureWindowSettings(const MainWindow& window) {
    Settings settings;
    for (const auto& [name, box] : TextBoxes(window)) {
        settings[name] = ToUtf8(box->text());
    }
    settings["manifest.mode"] = ModeBox(*window.manifestPage, window.manifestPage->Mode()).first;
    settings["page"] = std::to_string(window.选择夹1->currentIndex());
    const QMap<QString, QString> folders = DialogFolders();
    for (auto folder = folders.begin(); folder != folders.end(); ++folder) {
        settings[kDialogFolderPrefix + ToUtf8(folder.key())] = ToUtf8(folder.value());
    }
    const QMap<QString, QString> filters = DialogFilters();
    for (auto filter = filters.begin(); filter != filters.end(); ++filter) {
        settings[kDialogFilterPrefix + ToUtf8(filter.key())] = ToUtf8(filter.value());
    }
    return settings;
}

void RestoreWindowSettings(MainWindow& window, const Settings& settings) {
    for (const auto& [name, box] : TextBoxes(window)) {
        if (const auto value = settings.find(name); value != settings.end()) {
            box->setText(FromUtf8(value->second));
        }
    }
    if (const auto mode = settings.find("manifest.mode"); mode != settings.end()) {
        for (const ManifestMode candidate :
             {ManifestMode::MicroClient, ManifestMode::HotUpdate, ManifestMode::CustomDirectory}) {
            const auto [name, box] = ModeBox(*window.manifestPage, candidate);
            if (mode->second == name) {
                box->setChecked(true);
                window.manifestPage->SelectMode(box);
            }
        }
    }
    if (const auto page = settings.find("page"); page != settings.end()) {
        const std::string& text = page->second;
        if (text.size() == 1 && text[0] >= '0' && text[0] - '0' < window.选择夹1->count()) {
            window.选择夹1->setCurrentIndex(text[0] - '0');
        }
    }
    QMap<QString, QString> folders = DialogFolders();
    QMap<QString, QString> filters = DialogFilters();
    for (const auto& [name, value] : settings) {
        if (value.empty()) {
            continue;
        }
        if (name.rfind(kDialogFolderPrefix, 0) == 0) {
            folders[FromUtf8(name.substr(std::string_view(kDialogFolderPrefix).size()))] =
                FromUtf8(value);
        } else if (name.rfind(kDialogFilterPrefix, 0) == 0) {
            filters[FromUtf8(name.substr(std::string_view(kDialogFilterPrefix).size()))] =
                FromUtf8(value);
        }
    }
    SetDialogFolders(folders);
    SetDialogFilters(filters);
}

}  // namespace varo
