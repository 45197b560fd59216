#include "app/application/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/messages/TextBridge.h"
#include "platform/ProgramDirectory.h"

namespace varo {

QStringList QtTranslationFolders() {
    return {QDir(FromUtf8(ProgramDirectory())).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

bool LoadQtTranslation(const QStringList& folders) {
    // One translator for the process; a later call replaces what it holds.
    static QTranslator* translator = nullptr;
    if (translator != nullptr) {
        QCoreApplication::removeTranslator(translator);
    } else {
        translator = new QTranslator(QCoreApplication::instance());
    }
    for (const QString& folder : folders) {
        if (translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
            return QCoreApplication::installTranslator(translator);
        }
    }
    return false;
}

}  // namespace varo
