#pragma once

#include <QStringList>

namespace varo {

// The folders Qt's Chinese translation is looked for in, in order: the
// "translations" folder beside the program (as both packages ship it), then
// Qt's own translations folder.
QStringList QtTranslationFolders();

// Installs Qt's Chinese translation (qtbase_zh_CN.qm) from the first of the
// folders that holds it, so that Qt's own texts (OK, the context menus of
// text boxes) read in Chinese like the rest of the window. False when none
// holds it: Qt's texts then stay English and nothing else changes.
bool LoadQtTranslation(const QStringList& folders = QtTranslationFolders());

}  // namespace varo
