#pragma once

#include <QLineEdit>

#include <functional>

namespace varo {

// The in-place editor of the list: it commits when Enter is released and
// whenever it loses the keyboard focus; Esc cancels.
class CellEditor : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    std::function<void()> onCommit;
    std::function<void()> onCancel;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace varo
