#include "app/WindowProcess.h"

#include <QApplication>
#include <QMessageBox>

namespace varo {

void PrepareWindowProcess() {}

bool HasGraphicalDisplay() {
    return true;  // a Windows session always has its desktop
}

int ShowCommandLineText(int argc, char** argv, const QString& text, bool error, int exitCode) {
    QApplication application(argc, argv);
    QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("varo-toolkit"), text, QMessageBox::Ok);
    box.exec();
    return exitCode;
}

QString WritableFolderHint() {
    return QStringLiteral("例如D:\\下");
}

void CloseWindowOnTermination(QWidget&) {
    // Windows ends a session by closing the windows themselves.
}

}  // namespace varo
