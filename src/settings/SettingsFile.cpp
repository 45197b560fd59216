#include "settings/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "platform/FileIo.h"
#include "platform/Path.h"
#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

constexpr std::string_view kHeader =
    "; varo-toolkit settings, written when the window closes. Values stand as they are.";
// The first line of files written by the first version, whose values are escaped.
constexpr std::string_view kEscapedHeader =
    "; The settings of varo-toolkit, written when it closes.";
constexpr std::string_view kSection = "[settings]";

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '/';
}

bool IsValidName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter);
}

bool CanCarry(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos && IsValidUtf8(value);
}

std::string Unescape(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char next = value[++i];
        text += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

std::string_view Trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

Settings ParseSettings(std::string_view text) {
    Settings settings;
    const std::vector<std::string_view> lines = SplitLines(text);
    const bool escaped = !lines.empty() && lines.front() == kEscapedHeader;
    for (const std::string_view line : lines) {
        if (settings.size() == kMaxSettings) {
            break;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.front() == ';' || line.front() == '#' ||
            line.front() == '[') {
            continue;
        }
        const std::string_view name = line.substr(0, equals);
        const std::string_view raw = line.substr(equals + 1);
        std::string value = escaped ? Unescape(raw) : std::string(raw);
        if (IsValidName(name) && CanCarry(value)) {
            settings.emplace(name, std::move(value));
        }
    }
    return settings;
}

std::string FormatSettings(const Settings& settings, std::vector<std::string>* tooLong) {
    // The lines that can be written, in name order.
    std::vector<const Settings::value_type*> kept;
    std::size_t size = kHeader.size() + kSection.size() + 4;
    for (const auto& setting : settings) {
        if (kept.size() == kMaxSettings || !IsValidName(setting.first) ||
            !CanCarry(setting.second)) {
            continue;
        }
        kept.push_back(&setting);
        size += setting.first.size() + setting.second.size() + 3;
    }
    // A file the reader refuses would lose every setting at the next start:
    // the longest values go until the rest fits.
    while (size > kMaxSettingsFileSize) {
        const auto longest = std::max_element(kept.begin(), kept.end(), [](auto* a, auto* b) {
            return a->first.size() + a->second.size() < b->first.size() + b->second.size();
        });
        size -= (*longest)->first.size() + (*longest)->second.size() + 3;
        if (tooLong != nullptr) {
            tooLong->push_back((*longest)->first);
        }
        kept.erase(longest);
    }
    std::string text;
    text.reserve(size);
    text += kHeader;
    text += "\r\n";
    text += kSection;
    text += "\r\n";
    for (const auto* setting : kept) {
        text += setting->first;
        text += '=';
        text += setting->second;
        text += "\r\n";
    }
    return text;
}

std::string MergeSettings(std::string_view existing, const Settings& settings,
                          std::vector<std::string>* tooLong) {
    // The first version escaped its values: such a file is written afresh.
    const std::vector<std::string_view> lines = SplitLines(existing);
    if (lines.empty() || lines.front() == kEscapedHeader) {
        return FormatSettings(settings, tooLong);
    }
    const std::string_view end = existing.find("\r\n") != std::string_view::npos ||
                                         existing.find('\n') == std::string_view::npos
                                     ? "\r\n"
                                     : "\n";
    // Our values, as FormatSettings would keep them (the longest left out first).
    Settings ours;
    for (const auto& setting : settings) {
        if (IsValidName(setting.first) && CanCarry(setting.second)) {
            ours.insert(setting);
        }
    }
    for (;;) {
        std::string merged;
        merged.reserve(existing.size() + 64);
        std::vector<std::string_view> written;  // our names placed so far
        bool inSection = false;
        bool placed = false;  // our new names went in after the section's lines
        const auto placeRest = [&]() {
            for (const auto& [name, value] : ours) {
                if (std::find(written.begin(), written.end(), name) == written.end()) {
                    merged.append(name).append("=").append(value).append(end);
                    written.push_back(name);
                }
            }
            placed = true;
        };
        for (const std::string_view line : lines) {
            const std::string_view trimmed = Trimmed(line);
            if (!trimmed.empty() && trimmed.front() == '[') {
                if (inSection && !placed) {
                    placeRest();
                }
                inSection = trimmed == kSection;
            } else if (inSection) {
                const std::size_t equals = line.find('=');
                const std::string_view name =
                    equals == std::string_view::npos ? std::string_view() : line.substr(0, equals);
                if (!name.empty() && line.front() != ';' && line.front() != '#' &&
                    settings.count(std::string(name)) > 0) {
                    // A line of ours: its value now, once; a repeated one goes.
                    const auto value = ours.find(std::string(name));
                    if (value != ours.end() &&
                        std::find(written.begin(), written.end(), name) == written.end()) {
                        merged.append(name).append("=").append(value->second).append(end);
                        written.push_back(value->first);
                    }
                    continue;
                }
            }
            merged.append(line).append(end);
        }
        if (!placed) {
            placeRest();
        }
        if (merged.size() <= kMaxSettingsFileSize || ours.empty()) {
            return merged;
        }
        // The reader must take the file: our longest value goes first.
        const auto longest = std::max_element(ours.begin(), ours.end(), [](auto& a, auto& b) {
            return a.first.size() + a.second.size() < b.first.size() + b.second.size();
        });
        if (tooLong != nullptr) {
            tooLong->push_back(longest->first);
        }
        ours.erase(longest);
    }
}

std::string DecodeSettingsText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return std::string(bytes.substr(3));
    }
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        return Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
    }
    return IsValidUtf8(bytes) ? std::string(bytes) : GbkToUtf8(GbkView(bytes));
}

bool IsSettingsText(std::string_view text) {
    bool comments = false;
    for (const std::string_view line : SplitLines(text)) {
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.empty()) {
            continue;
        }
        if (trimmed.front() == ';' || trimmed.front() == '#') {
            comments = true;
            continue;
        }
        return trimmed == kSection;
    }
    // Empty: nothing to lose. Comments alone are someone's text, not ours.
    return !comments;
}

SettingsFileState ReadSettingsFile(const std::string& path) {
    SettingsFileState state;
    SystemError error;
    const std::optional<std::string> bytes = ReadWholeFile(path, kMaxSettingsFileSize, &error);
    if (!bytes) {
        state.kind = error.kind == ENOENT || error.kind == ENOTDIR ? SettingsFileState::Kind::Absent
                     : error.kind == EFBIG ? SettingsFileState::Kind::Foreign
                                           : SettingsFileState::Kind::Unreadable;
        if (state.kind == SettingsFileState::Kind::Unreadable) {
            state.error = error;
        }
        return state;
    }
    const std::string text = DecodeSettingsText(*bytes);
    if (!IsSettingsText(text)) {
        state.kind = SettingsFileState::Kind::Foreign;
        return state;
    }
    state.kind = SettingsFileState::Kind::Settings;
    state.settings = ParseSettings(text);
    state.text = text;
    return state;
}

SettingsSave SaveSettingsFile(const std::string& path, const SettingsFileState& state,
                              const Settings& settings) {
    switch (state.kind) {
        case SettingsFileState::Kind::Foreign:
            return {SettingsSave::Outcome::Kept, {}, {}};
        case SettingsFileState::Kind::Unreadable:
            return {SettingsSave::Outcome::Failed, state.error, {}};
        case SettingsFileState::Kind::Absent:
        case SettingsFileState::Kind::Settings:
            break;
    }
    if (IsReadOnlyFile(path)) {
        return {SettingsSave::Outcome::Kept, {}, {}};
    }
    std::error_code ignored;  // a folder that cannot be made fails the write below
    std::filesystem::create_directories(FileSystemPath(PathFolder(path)), ignored);
    SettingsSave save;
    // Lines that are not ours (comments, other names and sections) stay as they stand.
    const FileWriteResult result =
        WriteFileAtomically(path, state.kind == SettingsFileState::Kind::Settings
                                      ? MergeSettings(state.text, settings, &save.tooLong)
                                      : FormatSettings(settings, &save.tooLong));
    if (!result.ok) {
        return {SettingsSave::Outcome::Failed, result.error, {}};
    }
    return save;
}

}  // namespace varo
