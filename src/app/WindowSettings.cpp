#include "app/WindowSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTabWidget>

#include <array>
#include <filesystem>
#include <utility>

#include "app/Dialogs.h"
#include "app/LightPillarPage.h"
#include "app/MainWindow.h"
#include "app/ManifestPage.h"
#include "app/TextBridge.h"
#include "platform/FileIo.h"

namespace varo {
namespace {

constexpr const char* kDialogFolderPrefix = "dialog.";

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

std::string Folder(const std::string& path) {
    const std::size_t separator = path.find_last_of(PathSeparators());
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

}  // namespace

std::string SettingsFilePath(const std::string& programDirectory) {
    // A probe file shows whether the program folder takes new files.
    const std::string local = programDirectory + "/" + kSettingsFileName;
    const std::string probe = local + ".probe";
    if (WriteFileAtomically(probe, {}).ok) {
        std::error_code ignored;
        std::filesystem::remove(FileSystemPath(probe), ignored);
        return local;
    }
    return ToUtf8(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)) + "/" +
           kSettingsFileName;
}

Settings LoadSettingsFile(const std::string& path) {
    const std::optional<std::string> text = ReadWholeFile(path, kMaxSettingsFileSize);
    return text ? ParseSettings(*text) : Settings();
}

bool SaveSettingsFile(const std::string& path, const Settings& settings) {
    std::error_code error;
    std::filesystem::create_directories(FileSystemPath(Folder(path)), error);
    return WriteFileAtomically(path, FormatSettings(settings)).ok;
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
    for (const auto& [name, value] : settings) {
        if (name.rfind(kDialogFolderPrefix, 0) == 0 && !value.empty()) {
            folders[FromUtf8(name.substr(std::string_view(kDialogFolderPrefix).size()))] =
                FromUtf8(value);
        }
    }
    SetDialogFolders(folders);
}

}  // namespace varo
