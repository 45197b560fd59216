// varo-toolkit: the window of the Varo tool collection.

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

#include "app/Dialogs.h"
#include "app/InterfaceFont.h"
#include "app/MainWindow.h"
#include "app/TextBridge.h"
#include "db/SqliteSurface.h"
#include "platform/FatalError.h"
#include "platform/ProgramDirectory.h"

namespace {

bool HasDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int terminationPipe[2] = {-1, -1};

// SIGTERM and SIGINT close the window the way its close box does, so that a
// session that ends shuts the program down in order.
void OnTermination(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(terminationPipe[1], &byte, 1);
}

void ShowFatalError(const std::string& message) {
    varo::ShowMessage(varo::MessageKind::Critical, QStringLiteral("错误"), varo::FromUtf8(message));
}

}  // namespace

int main(int argc, char** argv) {
    // A full disk must fail a write, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!HasDisplay()) {
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
    {
        varo::MainWindow window(connection, hitTest, varo::ProgramDirectory());
        window.show();
        std::unique_ptr<QSocketNotifier> termination;
        if (::pipe2(terminationPipe, O_CLOEXEC) == 0) {
            termination =
                std::make_unique<QSocketNotifier>(terminationPipe[0], QSocketNotifier::Read);
            QObject::connect(termination.get(), &QSocketNotifier::activated, &window,
                             [&window] { window.close(); });
            std::signal(SIGTERM, OnTermination);
            std::signal(SIGINT, OnTermination);
        }
        QApplication::exec();
    }  // the window closes the connection as it goes
    return 0;
}
