#pragma once

#include <QFrame>

#include <functional>

class QAbstractScrollArea;
class QLabel;
class QLineEdit;

namespace varo {

// A small find box over the lower edge of a scroll area (the upper edge when
// the found row lies under the lower one), outside any layout:
// typing finds from the current row on, Enter and F3 find the next match,
// Shift+Enter and Shift+F3 the previous one, Esc closes the box.
class GridFindBox : public QFrame {
  public:
    // What a search found: the match's place among all matches ("第 3 / 17
    // 个"), and whether it went round the end (or the start) to get there.
    struct Outcome {
        bool found = false;
        std::size_t ordinal = 0;
        std::size_t count = 0;
        bool wrapped = false;
    };
    // Finds `text` from the current row (`step` 1 forward, -1 back; the
    // current row itself first when `includeCurrent`).
    using FindRoutine = std::function<Outcome(const QString& text, int step, bool includeCurrent)>;

    GridFindBox(QAbstractScrollArea* area, FindRoutine find);

    // Shows the box with its text selected and gives it the focus.
    void Open();
    // F3 / Shift+F3: the next or previous match; opens the box when hidden.
    void FindAgain(int step);
    void Close();
    // Keeps the box off the rows between `top` and `bottom` (the area's
    // coordinates), a found row say: it moves to the upper edge when its
    // place at the lower edge would cover them.
    void KeepClearOf(int top, int bottom);

    QLineEdit* Edit() const { return edit_; }
    QLabel* Status() const { return status_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Find(int step, bool includeCurrent);
    void Place();

    QAbstractScrollArea* area_;
    FindRoutine find_;
    QLineEdit* edit_;
    QLabel* status_;
    int clearTop_ = 0;
    int clearBottom_ = -1;  // nothing to keep clear of
};

}  // namespace varo
