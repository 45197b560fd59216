#include "app/widgets/LineListBox.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace varo {
namespace {

// Space between the frame and the text, as a text box's document keeps it.
constexpr int kMargin = 4;

bool IsWordBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\n');
}

// The places where each line after the first starts, in `text` from `from` on.
void AddLineStarts(const QString& text, qsizetype from, std::vector<qsizetype>& starts) {
    const QChar* data = text.constData();
    for (qsizetype i = from; i < text.size(); ++i) {
        if (data[i] == QLatin1Char('\n')) {
            starts.push_back(i + 1);
        }
    }
}

}  // namespace

LineListBox::LineListBox(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

void LineListBox::SetText(const QString& text) {
    text_ = text;
    starts_.assign(1, 0);
    AddLineStarts(text_, 0, starts_);
    caret_ = anchor_ = 0;
    widest_ = 0;
    wantedX_ = -1;
    NoteLineWidths(0, LineCount());
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void LineListBox::AppendText(const QString& text) {
    const int firstNew = LineCount() - 1;  // the last line, which the text continues
    const qsizetype from = text_.size();
    text_ += text;
    AddLineStarts(text_, from, starts_);
    NoteLineWidths(firstNew, LineCount());
    viewport()->update();
}

qsizetype LineListBox::LineEnd(int line) const {
    return line + 1 < LineCount() ? LineStart(line + 1) - 1 : text_.size();
}

QString LineListBox::LineText(int line) const {
    return text_.mid(LineStart(line), LineEnd(line) - LineStart(line));
}

int LineListBox::LineOf(qsizetype place) const {
    return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), place) -
                            starts_.begin()) -
           1;
}

int LineListBox::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int LineListBox::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / LineHeight());
}

// Measures the longest of the lines by characters: the width a text box
// would learn as it lays them out, without measuring each.
void LineListBox::NoteLineWidths(int first, int end) {
    int longest = -1;
    qsizetype length = -1;
    for (int line = std::max(0, first); line < end; ++line) {
        if (LineEnd(line) - LineStart(line) > length) {
            length = LineEnd(line) - LineStart(line);
            longest = line;
        }
    }
    if (longest >= 0) {
        widest_ = std::max(widest_, QFontMetricsF(font()).horizontalAdvance(LineText(longest)));
    }
    UpdateScrollBars();
}

void LineListBox::UpdateScrollBars() {
    const int visible = VisibleLines();
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, std::max(0, LineCount() - visible));
    const int width = static_cast<int>(std::ceil(widest_)) + 2 * kMargin;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 2);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

void LineListBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void LineListBox::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        widest_ = 0;
        NoteLineWidths(0, LineCount());
    }
}

void LineListBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QFontMetricsF metrics(font());
    const int height = LineHeight();
    const int first = verticalScrollBar()->value();
    const int end = std::min(LineCount(), first + viewport()->height() / height + 2);
    const qreal left = kMargin - horizontalScrollBar()->value();
    const qsizetype from = std::min(caret_, anchor_);
    const qsizetype to = std::max(caret_, anchor_);
    const QColor text = palette().color(QPalette::Text);
    const QColor selected = palette().color(QPalette::HighlightedText);
    for (int line = first; line < end; ++line) {
        const int top = kMargin + (line - first) * height;
        const QString shown = LineText(line);
        const QPointF baseline(left, top + metrics.ascent());
        painter.setPen(text);
        painter.drawText(baseline, shown);
        const qsizetype start = LineStart(line);
        const qsizetype stop = LineEnd(line);
        if (from < to && from <= stop && to > start) {
            const qreal x0 =
                left + metrics.horizontalAdvance(shown.left(std::max(from, start) - start));
            qreal x1 = left + metrics.horizontalAdvance(shown.left(std::min(to, stop) - start));
            if (to > stop) {
                x1 += metrics.horizontalAdvance(QLatin1Char(' '));  // the line's end is selected
            }
            const QRectF band(x0, top, x1 - x0, height);
            painter.fillRect(band, palette().brush(QPalette::Highlight));
            painter.save();
            painter.setClipRect(band);
            painter.setPen(selected);
            painter.drawText(baseline, shown);
            painter.restore();
        }
        if (hasFocus() && caret_ >= start && caret_ <= stop) {
            const qreal x = left + metrics.horizontalAdvance(shown.left(caret_ - start));
            painter.fillRect(QRectF(x, top, 1, height), text);
        }
    }
}

qsizetype LineListBox::PlaceAt(const QPoint& at) const {
    const int height = LineHeight();
    const int offset = at.y() - kMargin;
    const int line = std::clamp(verticalScrollBar()->value() + (offset < 0 ? -1 : offset / height),
                                0, LineCount() - 1);
    const qreal x = at.x() - kMargin + horizontalScrollBar()->value();
    return LineStart(line) + ColumnAt(LineText(line), x);
}

qsizetype LineListBox::ColumnAt(const QString& shown, qreal x) const {
    // The boundary between characters nearest to x; a pair of surrogates is one character.
    const QFontMetricsF metrics(font());
    qsizetype column = 0;
    qreal before = 0;
    while (column < shown.size()) {
        const qsizetype next =
            std::min(column + (shown[column].isHighSurrogate() ? 2 : 1), shown.size());
        const qreal after = metrics.horizontalAdvance(shown.left(next));
        if (x < (before + after) / 2) {
            break;
        }
        column = next;
        before = after;
    }
    return column;
}

qreal LineListBox::CaretX() const {
    const int line = LineOf(caret_);
    return QFontMetricsF(font()).horizontalAdvance(LineText(line).left(caret_ - LineStart(line)));
}

void LineListBox::MoveCaret(qsizetype place, bool extend) {
    caret_ = std::clamp<qsizetype>(place, 0, text_.size());
    if (!extend) {
        anchor_ = caret_;
    }
    EnsureCaretVisible();
    viewport()->update();
}

void LineListBox::EnsureCaretVisible() {
    const int line = LineOf(caret_);
    QScrollBar* vertical = verticalScrollBar();
    if (line < vertical->value()) {
        vertical->setValue(line);
    } else if (line >= vertical->value() + VisibleLines()) {
        vertical->setValue(line - VisibleLines() + 1);
    }
    const int x = static_cast<int>(CaretX());
    QScrollBar* horizontal = horizontalScrollBar();
    const int room = std::max(1, viewport()->width() - 2 * kMargin);
    if (x < horizontal->value()) {
        horizontal->setValue(x);
    } else if (x > horizontal->value() + room) {
        horizontal->setValue(x - room);
    }
}

QString LineListBox::SelectedText() const {
    const qsizetype from = std::min(caret_, anchor_);
    return text_.mid(from, std::max(caret_, anchor_) - from);
}

void LineListBox::SelectAll() {
    anchor_ = 0;
    caret_ = text_.size();
    viewport()->update();
}

void LineListBox::CopySelection() const {
    if (caret_ != anchor_) {
        QApplication::clipboard()->setText(SelectedText());
    }
}

QMenu* LineListBox::CreateStandardContextMenu() {
    // Qt's own captions, so that its translation gives them as a text box's menu has them.
    const auto caption = [](const char* text, QKeySequence::StandardKey key) {
        return QCoreApplication::translate("QWidgetTextControl", text) + QLatin1Char('\t') +
               QKeySequence(key).toString(QKeySequence::NativeText);
    };
    auto* menu = new QMenu(this);
    QAction* copy = menu->addAction(caption("&Copy", QKeySequence::Copy));
    copy->setEnabled(caret_ != anchor_);
    QObject::connect(copy, &QAction::triggered, this, [this] { CopySelection(); });
    menu->addSeparator();
    QAction* all = menu->addAction(caption("Select All", QKeySequence::SelectAll));
    all->setEnabled(!text_.isEmpty());
    QObject::connect(all, &QAction::triggered, this, [this] { SelectAll(); });
    return menu;
}

void LineListBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    const int line = LineOf(caret_);
    const auto lineAt = [&](int target) {
        // Up and Down keep the column the caret had, as far as the line reaches.
        target = std::clamp(target, 0, LineCount() - 1);
        if (wantedX_ < 0) {
            wantedX_ = CaretX();
        }
        return LineStart(target) + ColumnAt(LineText(target), wantedX_);
    };
    const auto step = [&](int direction) {
        qsizetype place = caret_ + direction;
        if (place > 0 && place < text_.size() && text_[place].isLowSurrogate()) {
            place += direction;
        }
        return place;
    };
    struct Motion {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        bool vertical;
    };
    const Motion motions[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, false},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, false},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, true},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, true},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, true},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, true},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, false},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, false},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, false},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, false},
    };
    for (const Motion& motion : motions) {
        const bool extend = event->matches(motion.select);
        if (!extend && !event->matches(motion.move)) {
            continue;
        }
        const QKeySequence::StandardKey key = motion.move;
        qsizetype place = caret_;
        if (key == QKeySequence::MoveToNextChar) {
            place = step(1);
        } else if (key == QKeySequence::MoveToPreviousChar) {
            place = step(-1);
        } else if (key == QKeySequence::MoveToNextLine) {
            place = lineAt(line + 1);
        } else if (key == QKeySequence::MoveToPreviousLine) {
            place = lineAt(line - 1);
        } else if (key == QKeySequence::MoveToNextPage) {
            place = lineAt(line + VisibleLines());
        } else if (key == QKeySequence::MoveToPreviousPage) {
            place = lineAt(line - VisibleLines());
        } else if (key == QKeySequence::MoveToStartOfLine) {
            place = LineStart(line);
        } else if (key == QKeySequence::MoveToEndOfLine) {
            place = LineEnd(line);
        } else if (key == QKeySequence::MoveToStartOfDocument) {
            place = 0;
        } else {
            place = text_.size();
        }
        if (!motion.vertical) {
            wantedX_ = -1;
        }
        MoveCaret(place, extend);
        return;
    }
    event->ignore();
}

void LineListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    wantedX_ = -1;
    selecting_ = true;
    MoveCaret(PlaceAt(event->position().toPoint()), event->modifiers().testFlag(Qt::ShiftModifier));
}

void LineListBox::mouseMoveEvent(QMouseEvent* event) {
    if (selecting_ && event->buttons().testFlag(Qt::LeftButton)) {
        MoveCaret(PlaceAt(event->position().toPoint()), true);
    }
}

void LineListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && selecting_) {
        selecting_ = false;
        // The mouse's selection is offered to a middle click, as X11's boxes do.
        QClipboard* clipboard = QApplication::clipboard();
        if (caret_ != anchor_ && clipboard->supportsSelection()) {
            clipboard->setText(SelectedText(), QClipboard::Selection);
        }
    }
}

void LineListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The word under the pointer: a name, a digest or a size.
    const qsizetype place = PlaceAt(event->position().toPoint());
    qsizetype start = place;
    qsizetype end = place;
    while (start > 0 && !IsWordBreak(text_[start - 1])) {
        --start;
    }
    while (end < text_.size() && !IsWordBreak(text_[end])) {
        ++end;
    }
    anchor_ = start;
    caret_ = end;
    selecting_ = false;
    viewport()->update();
}

void LineListBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LineListBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

}  // namespace varo
