#pragma once

#include <QLineEdit>
#include <QString>

#include <span>
#include <string>
#include <string_view>

#include "app/messages/TextBridge.h"
#include "settings/SettingsFile.h"

namespace varo {

// A text box of `Owner` whose text the settings file keeps as it stands,
// under `key`; `caption` is what the user calls it (the label beside it).
template <class Owner>
struct RememberedText {
    const char* key;
    const char* caption;
    QLineEdit* Owner::*box;
};

template <class Owner>
void RememberTexts(const Owner& owner, std::span<const RememberedText<Owner>> texts,
                   Settings& settings) {
    for (const RememberedText<Owner>& text : texts) {
        settings[text.key] = ToUtf8((owner.*text.box)->text());
    }
}

template <class Owner>
void RestoreTexts(Owner& owner, std::span<const RememberedText<Owner>> texts,
                  const Settings& settings) {
    for (const RememberedText<Owner>& text : texts) {
        if (const auto value = settings.find(text.key); value != settings.end()) {
            (owner.*text.box)->setText(FromUtf8(value->second));
        }
    }
}

// The caption of setting `name` when it is one of `texts`; empty otherwise.
template <class Owner>
QString CaptionOf(std::span<const RememberedText<Owner>> texts, std::string_view name) {
    for (const RememberedText<Owner>& text : texts) {
        if (name == text.key) {
            return QString::fromUtf8(text.caption);
        }
    }
    return {};
}

}  // namespace varo
