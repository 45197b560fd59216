#include "platform/FatalError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace varo {
namespace {

void PrintToStderr(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}

std::atomic<FatalErrorHook> currentHook{&PrintToStderr};

}  // namespace

void SetFatalErrorHook(FatalErrorHook hook) {
    currentHook = hook != nullptr ? hook : &PrintToStderr;
}

void FatalError(const std::string& message) {
    currentHook.load()(message);
    std::exit(-1);
}

}  // namespace varo
