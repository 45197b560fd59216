#include "cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/CommandLineProcess.h"

namespace varo::cli {
namespace {

std::string Mebibytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    return text;
}

}  // namespace

void ProgressBar::Draw() {
    const double total = static_cast<double>(total_.load());
    const double done = std::min(static_cast<double>(done_.load()), total);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double fraction = total > 0 ? done / total : 1.0;
    const int filled = std::clamp(static_cast<int>(fraction * kWidth), 0, kWidth);
    const double left = fraction > 0 ? seconds * (1 - fraction) / fraction : 0;
    const double bytes = static_cast<double>(bytes_.load());
    char line[200];
    std::snprintf(line, sizeof line, "[%s%s] %zu / %zu files  %s  %s/s  %ds left",
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kWidth - filled), '.').c_str(),
                  filesDone_.load(), files_.load(), Mebibytes(bytes).c_str(),
                  Mebibytes(seconds > 0 ? bytes / seconds : 0).c_str(),
                  static_cast<int>(left + 0.5));
    // One line of the terminal, the last column left free: a line that
    // wraps would leave a staircase of stale lines behind.
    std::string shown = line;
    const std::size_t width = static_cast<std::size_t>(std::max(StandardErrorColumns() - 1, 10));
    shown.resize(width, ' ');
    WriteStandardError("\r" + shown);
}

}  // namespace varo::cli
