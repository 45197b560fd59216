#include "app/pages/pillar/CellEditor.h"

#include <QKeyEvent>

namespace varo {

void CellEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && onCancel) {
        onCancel();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CellEditor::keyReleaseEvent(QKeyEvent* event) {
    QLineEdit::keyReleaseEvent(event);
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onCommit) {
        onCommit();
    }
}

void CellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A popup (the editor's own context menu) takes the focus only for a
    // moment and gives it back: the edit goes on.
    if (event->reason() != Qt::PopupFocusReason && onCommit) {
        onCommit();
    }
}

}  // namespace varo
