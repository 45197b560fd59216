#pragma once

#include <QWidget>

// What the window's process needs from the operating system, one
// implementation per system.
namespace varo {

// Before the application object: a full disk fails a write instead of
// ending the program.
void PrepareWindowProcess();

// False when no graphical display can be reached (Linux without DISPLAY).
bool HasGraphicalDisplay();

// Requests to end the program (SIGTERM, SIGINT) close `window` the way its
// close box does, so that the program shuts down in order.
void CloseWindowOnTermination(QWidget& window);

}  // namespace varo
