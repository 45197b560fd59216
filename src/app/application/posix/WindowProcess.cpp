#include "app/application/WindowProcess.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace varo {
namespace {

int terminationPipe[2] = {-1, -1};

void OnTermination(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(terminationPipe[1], &byte, 1);
}

}  // namespace

void PrepareWindowProcess() {
    std::signal(SIGXFSZ, SIG_IGN);
}

bool HasGraphicalDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int ShowCommandLineText(int, char**, const QString& text, bool error, int exitCode) {
    const QByteArray utf8 = text.toUtf8();
    std::fputs(utf8.constData(), error ? stderr : stdout);
    return exitCode;
}

QString WritableFolderHint() {
    return QStringLiteral("例如主目录下");
}

void CloseWindowOnTermination(QWidget& window) {
    if (::pipe2(terminationPipe, O_CLOEXEC) != 0) {
        return;
    }
    // The handler only writes a byte; the window closes in the event loop.
    // A message box open then (or opened by what its answer ends) is
    // answered as Esc would answer it, until the window is closed.
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        notifier->setEnabled(false);
        const auto closeAll = [&window] {
            for (int boxes = 0; boxes < 16; ++boxes) {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal == nullptr) {
                    break;
                }
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
            }
            window.close();
        };
        auto* closer = new QTimer(&window);
        QObject::connect(closer, &QTimer::timeout, &window, closeAll);
        closer->start(50);
        closeAll();
    });
    std::signal(SIGTERM, OnTermination);
    std::signal(SIGINT, OnTermination);
}

}  // namespace varo
