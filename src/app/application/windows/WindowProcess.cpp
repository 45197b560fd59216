#include "app/application/WindowProcess.h"

#include <QApplication>
#include <QMessageBox>

#include "app/application/InterfaceFont.h"
#include "app/application/InterfaceLanguage.h"
#include "app/application/WindowCommandLine.h"

namespace varo {

void PrepareWindowProcess() {}

bool HasGraphicalDisplay() {
    return true;  // a Windows session always has its desktop
}

int ShowCommandLineText(int argc, char** argv, const QString& text, bool error, int exitCode) {
    QApplication application(argc, argv);
    // The box speaks as the window does: its font, Qt's 确定.
    ApplyInterfaceFont();
    LoadQtTranslation();
    // A window program has no console: the text goes into a box, its
    // options in two columns that line up.
    QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("varo-toolkit"), CommandLineTextAsHtml(text), QMessageBox::Ok);
    box.setTextFormat(Qt::RichText);
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
