#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <vector>

class QMenu;

namespace varo {

// A read-only box of lines, as many as a client tree has files: the text is
// kept whole with an index of where each line starts, and only the lines in
// view are drawn, so taking 100,000 lines costs one pass over the text
// rather than a text document's block per line. It answers as a read-only
// text box does: the caret keys (with Shift to select), the mouse to select
// (a double click selects a word), Ctrl+A, Ctrl+C and the context menu's
// 复制 and 全选.
class LineListBox : public QAbstractScrollArea {
  public:
    explicit LineListBox(QWidget* parent = nullptr);

    // The whole text, lines ending in '\n'; the caret goes to its start.
    void SetText(const QString& text);
    // More lines at the end; the caret and the selection stay.
    void AppendText(const QString& text);
    void Clear() { SetText(QString()); }
    const QString& Text() const { return text_; }
    // Lines as a text box counts them: text ending in '\n' has an empty last one.
    int LineCount() const { return static_cast<int>(starts_.size()); }

    // The caret, as a place in Text().
    qsizetype Caret() const { return caret_; }
    QString SelectedText() const;
    void SelectAll();
    void CopySelection() const;
    // 复制 and 全选, as a text box's own menu has them.
    QMenu* CreateStandardContextMenu();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int LineOf(qsizetype place) const;
    qsizetype LineStart(int line) const { return starts_[static_cast<std::size_t>(line)]; }
    qsizetype LineEnd(int line) const;
    QString LineText(int line) const;
    int LineHeight() const;
    int VisibleLines() const;
    qsizetype PlaceAt(const QPoint& at) const;
    qsizetype ColumnAt(const QString& line, qreal x) const;
    // Moves the caret; the anchor follows unless the selection is extended.
    void MoveCaret(qsizetype place, bool extend);
    void EnsureCaretVisible();
    void NoteLineWidths(int first, int end);
    void UpdateScrollBars();
    // The column, within its line, that Up and Down keep.
    qreal CaretX() const;

    QString text_;
    std::vector<qsizetype> starts_{0};
    qsizetype caret_ = 0;
    qsizetype anchor_ = 0;
    qreal widest_ = 0;  // of the lines measured so far, as a text box learns it
    qreal wantedX_ = -1;
    bool selecting_ = false;
};

}  // namespace varo
