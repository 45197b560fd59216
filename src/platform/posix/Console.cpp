#include "platform/Console.h"

#include <malloc.h>
#include <unistd.h>

#include <csignal>

namespace varo {

void PrepareCommandLineProcess() {
    std::signal(SIGXFSZ, SIG_IGN);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace varo
