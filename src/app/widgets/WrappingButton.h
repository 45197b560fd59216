#pragma once

#include <QFont>
#include <QPushButton>
#include <QStringList>

namespace varo {

// How a button's caption is set in the room it has: one line, or two lines
// broken between words (never inside a Latin word, never leaving a single
// character on a line), in the button's font or, when neither fits, a
// slightly smaller one.
struct ButtonTextLayout {
    QFont font;
    QStringList lines;
};
ButtonTextLayout LayOutButtonText(const QString& text, const QFont& font, const QSize& room);

// A push button whose caption wraps onto a second line when it is wider
// than the button, as the fixed layout's narrow buttons need.
class WrappingButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

    // The room the caption has: across, the style's contents rectangle;
    // down, the button within its frame.
    QSize TextRoom() const;
    ButtonTextLayout TextLayout() const { return LayOutButtonText(text(), font(), TextRoom()); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter and Return press the focused button, as on Windows.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QRect TextRect() const;
};

}  // namespace varo
