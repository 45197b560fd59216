#pragma once

#include <QString>
#include <QStringList>

namespace varo {

// The window's command line: "--settings FILE" (or "--settings=FILE"), a
// database path (a database dropped on the program's icon, 打开方式),
// "--help" and "--version". Paths come without the quotes Windows may leave.
struct WindowCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString settingsPath;  // empty: the default settings file
    QString databasePath;  // empty: none given
    QString text;          // what Help, Version and Error show
    int exitCode = 0;      // for anything but Run: 0, or 2 for a usage error
};

// `arguments` as the program received them, its own name first.
WindowCommandLine ParseWindowCommandLine(const QStringList& arguments);

// The usage text for a message box: its option lines as a two-column table.
QString CommandLineTextAsHtml(const QString& text);

}  // namespace varo
