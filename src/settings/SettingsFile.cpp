#include "settings/SettingsFile.h"

#include <algorithm>

#include "text/CodePage.h"
#include "text/GbkSearch.h"

namespace varo {
namespace {

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '/';
}

bool IsValidName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter);
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

std::string Escape(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (const char c : value) {
        text += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    return text;
}

}  // namespace

Settings ParseSettings(std::string_view text) {
    Settings settings;
    for (std::string_view line : SplitUtf8(text, "\n")) {
        if (settings.size() == kMaxSettings) {
            break;
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || line.front() == ';' || line.front() == '#' ||
            line.front() == '[') {
            continue;
        }
        const std::string_view name = line.substr(0, equals);
        std::string value = Unescape(line.substr(equals + 1));
        if (IsValidName(name) && IsValidUtf8(value)) {
            settings.emplace(name, std::move(value));
        }
    }
    return settings;
}

std::string FormatSettings(const Settings& settings) {
    std::string text = "; The settings of varo-toolkit, written when it closes.\r\n[settings]\r\n";
    std::size_t written = 0;
    for (const auto& [name, value] : settings) {
        if (written == kMaxSettings || !IsValidName(name) || !IsValidUtf8(value)) {
            continue;
        }
        text += name;
        text += '=';
        text += Escape(value);
        text += "\r\n";
        ++written;
    }
    return text;
}

}  // namespace varo
