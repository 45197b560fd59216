#include "text/GbkSearch.h"

namespace varo {
namespace {

// Length of the character that starts at `pos`: two for a lead byte with a
// byte after it, else one.
std::size_t CharacterLength(std::string_view text, std::size_t pos) {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    return byte >= 0x81 && byte <= 0xFE && pos + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::size_t FindInGbk(GbkView gbk, GbkView gbkNeedle, std::size_t from) {
    const std::string_view text = gbk.Bytes();
    const std::string_view needle = gbkNeedle.Bytes();
    if (needle.empty() || needle.size() > text.size()) {
        return std::string_view::npos;
    }
    const std::size_t last = text.size() - needle.size();
    // Walk from the start of the text: a character boundary is only known from there.
    std::size_t pos = 0;
    while (pos <= last) {
        if (pos >= from && text.compare(pos, needle.size(), needle) == 0) {
            return pos;
        }
        pos += CharacterLength(text, pos);
    }
    return std::string_view::npos;
}

bool GbkContains(GbkView text, GbkView needle) {
    return FindInGbk(text, needle) != std::string_view::npos;
}

namespace {

template <typename StepFunction>
std::vector<std::string_view> Split(std::string_view text, std::string_view separator,
                                    StepFunction characterLength) {
    std::vector<std::string_view> parts;
    if (text.empty()) {
        return parts;
    }
    if (separator.empty()) {
        parts.push_back(text);
        return parts;
    }
    std::size_t partStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, separator.size(), separator) == 0) {
            parts.push_back(text.substr(partStart, pos - partStart));
            pos += separator.size();
            partStart = pos;
        } else {
            pos += characterLength(text, pos);
        }
    }
    if (partStart < text.size()) {
        parts.push_back(text.substr(partStart));
    }
    return parts;
}

}  // namespace

std::vector<GbkView> SplitGbk(GbkView text, GbkView separator) {
    std::vector<GbkView> parts;
    for (const std::string_view part : Split(text.Bytes(), separator.Bytes(), CharacterLength)) {
        parts.push_back(GbkView(part));
    }
    return parts;
}

std::vector<std::string_view> SplitUtf8(std::string_view text, std::string_view separator) {
    return Split(text, separator, [](std::string_view, std::size_t) { return std::size_t{1}; });
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines = SplitUtf8(text, "\n");
    for (std::string_view& line : lines) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
    }
    return lines;
}

}  // namespace varo
