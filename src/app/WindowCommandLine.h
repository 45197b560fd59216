#pragma once

#include <QString>
#include <QStringList>

namespace varo {

// The window's command line: "--settings FILE" (or "--settings=FILE"),
// "--help" and "--version".
struct WindowCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString settingsPath;  // empty: the default settings file
    QString text;          // what Help, Version and Error show
    int exitCode = 0;      // for anything but Run: 0, or 2 for a usage error
};

// `arguments` as the program received them, its own name first.
WindowCommandLine ParseWindowCommandLine(const QStringList& arguments);

}  // namespace varo
