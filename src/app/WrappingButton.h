#pragma once

#include <QPushButton>

namespace varo {

// A push button whose caption wraps onto a second line when it is wider
// than the button, as the fixed layout's narrow buttons need.
class WrappingButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace varo
