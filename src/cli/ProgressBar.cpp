#include "cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/Catalog.h"
#include "platform/CommandLineProcess.h"

namespace varo::cli {
namespace {

std::string Mebibytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

}  // namespace

std::string FittedToColumns(std::string_view utf8, std::size_t columns) {
    std::string fitted;
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        // Characters of three bytes and more (CJK among them) take two columns.
        const std::size_t wide = length >= 3 ? 2 : 1;
        if (used + wide > columns || i + length > utf8.size()) {
            break;
        }
        fitted.append(utf8.substr(i, length));
        used += wide;
        i += length;
    }
    return fitted.append(columns - used, ' ');
}

void ProgressBar::Draw() {
    const double total = static_cast<double>(total_.load());
    const double done = std::min(static_cast<double>(done_.load()), total);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double fraction = total > 0 ? done / total : 1.0;
    const int filled = std::clamp(static_cast<int>(fraction * kWidth), 0, kWidth);
    const double left = fraction > 0 ? seconds * (1 - fraction) / fraction : 0;
    const double bytes = static_cast<double>(bytes_.load());
    std::string shown = "[";
    shown.append(static_cast<std::size_t>(filled), '#');
    shown.append(static_cast<std::size_t>(kWidth - filled), '.');
    shown += "] ";
    shown += Say(Text::Progress, {std::to_string(filesDone_.load()), std::to_string(files_.load()),
                                  Mebibytes(bytes), Mebibytes(seconds > 0 ? bytes / seconds : 0),
                                  std::to_string(static_cast<int>(left + 0.5))});
    {
        std::lock_guard lock(noteMutex_);
        if (!note_.empty()) {
            shown += "  ";
            shown += note_;
        }
    }
    // One line of the terminal, the last column left free: a line that
    // wraps would leave a staircase of stale lines behind.
    const std::size_t width = static_cast<std::size_t>(std::max(StandardErrorColumns() - 1, 10));
    std::string line = "\r";
    line += FittedToColumns(shown, width);
    WriteStandardError(line);
}

}  // namespace varo::cli
