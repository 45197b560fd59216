// varo-toolkit: the window of the Varo tool collection.

#include <QApplication>

#include <cstdio>

#include "app/Dialogs.h"
#include "app/InterfaceFont.h"
#include "app/MainWindow.h"
#include "app/TextBridge.h"
#include "app/WindowProcess.h"
#include "app/WindowSettings.h"
#include "db/SqliteSurface.h"
#include "platform/FatalError.h"
#include "platform/ProgramDirectory.h"

namespace {

void ShowFatalError(const std::string& message) {
    varo::ShowMessage(varo::MessageKind::Critical, QStringLiteral("错误"), varo::FromUtf8(message));
}

// "--settings FILE" keeps the settings in that file (one per server, say);
// otherwise varo-toolkit.ini in the program folder or the configuration folder.
std::string SettingsPath(const QStringList& arguments) {
    const qsizetype option = arguments.indexOf(QStringLiteral("--settings"));
    if (option >= 0 && option + 1 < arguments.size()) {
        return varo::ToUtf8(arguments[option + 1]);
    }
    return varo::SettingsFilePath(varo::ProgramDirectory());
}

}  // namespace

int main(int argc, char** argv) {
    varo::PrepareWindowProcess();
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
    varo::SetFatalErrorHook(&ShowFatalError);

    // The process-wide objects exist before the window and outlive it.
    static varo::SqliteConnection connection;
    static varo::ListHitTestRecord hitTest;
    varo::PrepareSqliteAdapters();
    const std::string settingsPath = SettingsPath(QCoreApplication::arguments());
    {
        varo::MainWindow window(connection, hitTest, varo::ProgramDirectory());
        varo::RestoreWindowSettings(window, varo::LoadSettingsFile(settingsPath));
        window.show();
        varo::CloseWindowOnTermination(window);
        QApplication::exec();
        // Not being able to remember is no reason to bother the user at exit.
        varo::SaveSettingsFile(settingsPath, varo::CaptureWindowSettings(window));
    }  // the window closes the connection as it goes
    return 0;
}
