#pragma once

#include <cctype>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace varo::fuzz {

// A strict JSON reader for the fuzz targets: Parse succeeds only on one
// complete, well-formed JSON value (UTF-8, RFC 8259). It counts the elements
// of the outermost array and of the array under the key "md5list".
class JsonCheck {
  public:
    explicit JsonCheck(std::string text) : owned_(std::move(text)), text_(owned_) {}

    bool Parse() {
        SkipSpace();
        if (!Value(0)) {
            return false;
        }
        SkipSpace();
        return pos_ == text_.size();
    }

    std::optional<std::size_t> outerArrayLength;
    std::optional<std::size_t> md5listLength;

  private:
    bool Value(int depth) {
        if (depth > 64 || pos_ >= text_.size()) {
            return false;
        }
        switch (text_[pos_]) {
            case '{':
                return Object(depth);
            case '[':
                return Array(depth, nullptr);
            case '"':
                return String(nullptr);
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    bool Object(int depth) {
        ++pos_;
        SkipSpace();
        if (Take('}')) {
            return true;
        }
        do {
            SkipSpace();
            std::string_view key;
            if (!String(&key)) {
                return false;
            }
            SkipSpace();
            if (!Take(':')) {
                return false;
            }
            SkipSpace();
            if (depth == 0 && key == "md5list" && pos_ < text_.size() && text_[pos_] == '[') {
                std::size_t length = 0;
                if (!Array(depth + 1, &length)) {
                    return false;
                }
                md5listLength = length;
            } else if (!Value(depth + 1)) {
                return false;
            }
            SkipSpace();
        } while (Take(','));
        return Take('}');
    }

    bool Array(int depth, std::size_t* length) {
        ++pos_;
        SkipSpace();
        std::size_t count = 0;
        if (!Take(']')) {
            do {
                SkipSpace();
                if (!Value(depth + 1)) {
                    return false;
                }
                ++count;
                SkipSpace();
            } while (Take(','));
            if (!Take(']')) {
                return false;
            }
        }
        if (length != nullptr) {
            *length = count;
        }
        if (depth == 0) {
            outerArrayLength = count;
        }
        return true;
    }

    bool String(std::string_view* out) {
        if (!Take('"')) {
            return false;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                if (out != nullptr) {
                    *out = text_.substr(start, pos_ - start);
                }
                ++pos_;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                ++pos_;
                if (pos_ >= text_.size()) {
                    return false;
                }
                const char e = text_[pos_];
                if (e == 'u') {
                    for (int i = 1; i <= 4; ++i) {
                        if (pos_ + i >= text_.size() ||
                            !std::isxdigit(static_cast<unsigned char>(text_[pos_ + i]))) {
                            return false;
                        }
                    }
                    pos_ += 5;
                    continue;
                }
                if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
                    return false;
                }
                ++pos_;
                continue;
            }
            if (c >= 0x80 && !Utf8Sequence()) {
                return false;
            }
            if (c < 0x80) {
                ++pos_;
            }
        }
        return false;
    }

    bool Utf8Sequence() {
        const unsigned char c = static_cast<unsigned char>(text_[pos_]);
        std::size_t length = c >= 0xF0 && c <= 0xF4   ? 4
                             : c >= 0xE0              ? 3
                             : c >= 0xC2 && c <= 0xDF ? 2
                                                      : 0;
        if (length == 0 || pos_ + length > text_.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if ((static_cast<unsigned char>(text_[pos_ + i]) & 0xC0) != 0x80) {
                return false;
            }
        }
        pos_ += length;
        return true;
    }

    bool Number() {
        const std::size_t start = pos_;
        Take('-');
        while (pos_ < text_.size() &&
               (std::isdigit(static_cast<unsigned char>(text_[pos_])) ||
                std::string_view(".eE+-").find(text_[pos_]) != std::string_view::npos)) {
            ++pos_;
        }
        return pos_ > start;
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void SkipSpace() {
        while (pos_ < text_.size() &&
               std::string_view(" \t\r\n").find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
    }

    std::string owned_;
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace varo::fuzz
