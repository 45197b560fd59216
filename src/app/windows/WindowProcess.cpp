#include "app/WindowProcess.h"

namespace varo {

void PrepareWindowProcess() {}

bool HasGraphicalDisplay() {
    return true;  // a Windows session always has its desktop
}

void CloseWindowOnTermination(QWidget&) {
    // Windows ends a session by closing the windows themselves.
}

}  // namespace varo
