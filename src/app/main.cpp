// varo-toolkit: the window of the Varo tool collection.

#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "app/application/InterfaceFont.h"
#include "app/application/InterfaceLanguage.h"
#include "app/application/WindowCommandLine.h"
#include "app/application/WindowProcess.h"
#include "app/application/WindowSettings.h"
#include "app/messages/MessageBoxes.h"
#include "app/messages/TextBridge.h"
#include "app/window/MainWindow.h"
#include "db/SqliteSurface.h"
#include "platform/CommandLineProcess.h"
#include "platform/FatalError.h"
#include "platform/ProgramDirectory.h"

namespace {

void ShowFatalError(const std::string& message) {
    varo::ShowMessage(varo::MessageKind::Critical, QStringLiteral("错误"), varo::FromUtf8(message));
}

}  // namespace

int main(int argc, char** argv) {
    varo::PrepareWindowProcess();
    // The arguments as UTF-8 (on Windows from the wide command line).
    QStringList arguments;
    for (const std::string& argument : varo::CommandLineArguments(argc, argv)) {
        arguments << varo::FromUtf8(argument);
    }
    const varo::WindowCommandLine commandLine = varo::ParseWindowCommandLine(arguments);
    if (commandLine.action != varo::WindowCommandLine::Action::Run) {
        return varo::ShowCommandLineText(
            argc, argv, commandLine.text,
            commandLine.action == varo::WindowCommandLine::Action::Error, commandLine.exitCode);
    }
    if (!varo::HasGraphicalDisplay()) {
        std::fprintf(
            stderr,
            "varo-toolkit: no graphical display (DISPLAY is not set), so the window cannot open.\n"
            "Run it on a desktop, or under a virtual display:  xvfb-run -a %s\n"
            "The command-line front end varo-cli writes the same files without a display.\n",
            argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    varo::ApplyInterfaceFont();
    varo::LoadQtTranslation();  // Qt's own texts in Chinese when the file is there
    varo::SetFatalErrorHook(&ShowFatalError);

    // The process-wide objects exist before the window and outlive it.
    static varo::SqliteConnection connection;
    static varo::ListHitTestRecord hitTest;
    varo::PrepareSqliteAdapters();
    // "--settings FILE" keeps the settings in that file (one per server, say);
    // otherwise varo-toolkit.ini in the program folder or the configuration folder.
    const std::string settingsPath = commandLine.settingsPath.isEmpty()
                                         ? varo::SettingsFilePath(varo::ProgramDirectory())
                                         : varo::ToUtf8(commandLine.settingsPath);
    const varo::SettingsFileState settings = varo::ReadSettingsFile(settingsPath);
    {
        varo::MainWindow window(connection, hitTest, varo::ProgramDirectory());
        window.Restore(settings.settings);
        window.show();
        QTimer::singleShot(0, &window, [&] {
            varo::ReportSettingsFileAtStart(settingsPath, settings);
            // A database given on the command line (dropped on the program's
            // icon) is taken as a drop on the window is, once it shows.
            if (!commandLine.databasePath.isEmpty()) {
                window.UseDroppedDatabase(commandLine.databasePath);
            }
        });
        varo::CloseWindowOnTermination(window);
        QApplication::exec();
        varo::SaveSettingsAtClose(settingsPath, settings, window.RememberedSettings());
    }  // the window closes the connection as it goes
    return 0;
}
