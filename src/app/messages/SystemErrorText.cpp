#include "app/messages/SystemErrorText.h"

#include "app/messages/MessageText.h"
#include "app/messages/TextBridge.h"

namespace varo {
QString SystemErrorText(const SystemError& error, FileAccess access) {
    const QString kind = FromUtf8(SystemErrorKindWords(error.kind, access, Language::Chinese));
    if (error.code == 0) {
        return kind;  // found by the program itself: no system message to add
    }
    QString message = FromUtf8(SystemErrorMessage(error)).trimmed();
    while (message.endsWith(QLatin1Char('.')) || message.endsWith(QChar(0x3002))) {
        message.chop(1);
    }
    // The system's message in brackets, its own brackets made round ones
    // so that they do not nest.
    message.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));
    return message.isEmpty() || message == kind ? kind
                                                : QStringLiteral("%1（%2）").arg(kind, message);
}

}  // namespace varo
