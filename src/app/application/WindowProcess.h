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

// Shows what the command line asked for (usage, version, a usage error):
// on the standard streams, or on Windows, where a window program has no
// console, in a message box. Gives the exit status.
int ShowCommandLineText(int argc, char** argv, const QString& text, bool error, int exitCode);

// Where to move a program folder that cannot be written, as an example for
// the user of this system.
QString WritableFolderHint();

// Requests to end the program (SIGTERM, SIGINT) close `window` the way its
// close box does, so that the program shuts down in order.
void CloseWindowOnTermination(QWidget& window);

}  // namespace varo
