#pragma once

#include <QWidget>

namespace varo {

// A tab page whose controls are placed in the tab control's coordinates, as
// the layout tables give them: the controls sit on a canvas that is kept at
// the tab control's top-left corner, whatever the height of the tab bar.
class PageCanvas : public QWidget {
  public:
    PageCanvas(QWidget* tabControl, QWidget* parent = nullptr);

    // The parent for the page's controls.
    QWidget* Canvas() const { return canvas_; }

    // Puts the canvas at the tab control's corner; pages hidden behind
    // another tab get no resize events, so the window calls this for them.
    void Align();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* tabControl_;
    QWidget* canvas_;
};

}  // namespace varo

namespace varo {

// Names a control after its role and puts it at its place on its parent.
template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

}  // namespace varo
