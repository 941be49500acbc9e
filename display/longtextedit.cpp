#include "longtextedit.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int MarginX = 2;
constexpr int MarginY = 1;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

LongTextEdit::LongTextEdit(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Base);
    updateMetrics();
}

// ---- Text and caret ----

void LongTextEdit::setText(const QString &text)
{
    m_text.assign(text);
    m_caret = m_anchor = int(m_text.size());
    m_caretAtLineEnd = false;
    m_topLine = 0;
    layoutAll();
    ensureCaretVisible();
    update();
}

void LongTextEdit::insertAtCaret(const QString &text)
{
    const int from = selectionStart();
    replace(from, selectionEnd(), text);
    moveCaret(from + int(text.size()), false);
}

void LongTextEdit::setCaretPosition(int position, bool keepAnchor)
{
    moveCaret(position, keepAnchor);
}

QString LongTextEdit::selectedText() const
{
    return m_text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void LongTextEdit::selectAll()
{
    m_anchor = 0;
    moveCaret(int(m_text.size()), true);
}

void LongTextEdit::moveCaret(int position, bool keepAnchor, bool atLineEnd)
{
    const bool hadSelection = hasSelection();
    QRect oldCaret = caretRect();
    const int oldTop = m_topLine;
    m_caret = std::clamp(position, 0, int(m_text.size()));
    if (!keepAnchor)
        m_anchor = m_caret;
    // Only the start of a wrapped line can also be shown as the end of the line above.
    const int line = lineOf(m_caret);
    m_caretAtLineEnd
        = atLineEnd && line > 0 && m_caret == lineStart(line) && m_text.at(m_caret - 1) != u'\n';
    m_goalX = -1;
    ensureCaretVisible();
    restartBlink();
    // Only what changed: the lines from a change of the text down, the caret's old place (which
    // a scroll has moved with the text) and its new one; everything when a selection shows.
    if (m_dirtyFromLine < std::numeric_limits<int>::max()) {
        const int top = textArea().top()
            + int((std::max(m_dirtyFromLine, m_topLine) - m_topLine) * m_lineHeight);
        update(QRect(0, top, width(), height() - top));
        m_dirtyFromLine = std::numeric_limits<int>::max();
    }
    if (hadSelection || hasSelection()) {
        update();
    } else {
        oldCaret.translate(0, int((oldTop - m_topLine) * m_lineHeight));
        update(oldCaret.adjusted(-1, 0, 1, 0));
        update(caretRect().adjusted(-1, 0, 1, 0));
    }
}

void LongTextEdit::replace(int from, int to, const QString &text)
{
    from = std::clamp(from, 0, int(m_text.size()));
    to = std::clamp(to, from, int(m_text.size()));
    if (to == from && text.isEmpty())
        return;
    m_text.replace(from, to - from, text);
    const int firstChanged = relayout(from, to - from, int(text.size()));
    m_caret = std::min(m_caret, int(m_text.size()));
    m_anchor = std::min(m_anchor, int(m_text.size()));
    // Painted by the caret's move that follows: the lines above the change look as they did.
    m_dirtyFromLine = std::min(m_dirtyFromLine, firstChanged);
}

// ---- Line wrapping ----

void LongTextEdit::updateMetrics()
{
    const QFontMetricsF metrics(drawingFont());
    for (int c = 0; c < 256; ++c)
        m_latinAdvance[std::size_t(c)] = c < 32 ? 0.0 : metrics.horizontalAdvance(QChar(c));
    m_latinAdvance[std::size_t(u'\t')] = 4 * metrics.horizontalAdvance(QChar(u' '));
    m_lineHeight = std::max<qreal>(1.0, std::ceil(metrics.lineSpacing()));
    m_ascent = metrics.ascent();
}

QFont LongTextEdit::drawingFont() const
{
    // Without kerning a line is exactly as wide as the sum of its characters, so the caret and
    // the clicks fall where the characters are drawn.
    QFont f = font();
    f.setKerning(false);
    return f;
}

qreal LongTextEdit::advance(QChar c) const
{
    if (c.unicode() < 256)
        return m_latinAdvance[c.unicode()];
    return QFontMetricsF(drawingFont()).horizontalAdvance(c);
}

int LongTextEdit::breakLine(int start) const
{
    int end = int(m_text.size());
    qreal x = 0;
    int lastBreak = -1;
    m_text.scan(start, [&](qsizetype at, QChar c) {
        const int i = int(at);
        if (c == u'\n') {
            end = i + 1;
            return false;
        }
        const qreal a = advance(c);
        if (isBlank(c)) {
            x += a; // blanks may hang past the edge
            lastBreak = i + 1;
            return true;
        }
        if (x + a > m_wrapWidth && i > start) {
            end = lastBreak > start ? lastBreak : i;
            return false;
        }
        x += a;
        return true;
    });
    return end;
}

bool LongTextEdit::layoutNextLine() const
{
    if (m_layoutComplete)
        return false;
    const int n = int(m_text.size());
    const int s = m_lineStarts.back();
    const int e = s < n ? breakLine(s) : n;
    if (s >= n || (e == n && m_text.at(n - 1) != u'\n')) {
        m_layoutComplete = true; // s starts the last line
        return false;
    }
    m_lineStarts.push_back(e);
    if (e == n)
        m_layoutComplete = true; // the empty line after a final line feed
    return true;
}

qreal LongTextEdit::wrapWidth() const
{
    return std::max(1, textArea().width());
}

void LongTextEdit::syncWrapWidth() const
{
    const qreal width = wrapWidth();
    if (width == m_wrapWidth)
        return;
    m_wrapWidth = width;
    m_lineStarts.assign(1, 0);
    m_layoutComplete = false;
}

void LongTextEdit::layoutUntil(int position) const
{
    syncWrapWidth();
    while (!m_layoutComplete && m_lineStarts.back() <= position)
        layoutNextLine();
}

void LongTextEdit::layoutLines(int lines) const
{
    syncWrapWidth();
    while (!m_layoutComplete && int(m_lineStarts.size()) < lines)
        layoutNextLine();
}

void LongTextEdit::layoutAll()
{
    m_wrapWidth = 0; // wrapped again from the start
    layoutLines(m_topLine + 1);
    m_topLine = std::clamp(m_topLine, 0, int(m_lineStarts.size()) - 1);
}

int LongTextEdit::relayout(int from, int removed, int inserted)
{
    const qreal width = m_wrapWidth;
    syncWrapWidth();
    std::vector<int> &starts = m_lineStarts;
    if (width != m_wrapWidth)
        return 0; // all wrapped again, from the start
    if (!m_layoutComplete && from > starts.back())
        return int(starts.size()); // not wrapped yet
    const int n = int(m_text.size());
    const int delta = inserted - removed;
    const int editEnd = from + inserted; // in the new text
    // The line that held the change, and the one before: its last word may now fit there.
    const int changed
        = int(std::upper_bound(starts.begin(), starts.end(), from) - starts.begin()) - 1;
    const int first = std::max(0, changed - 1);
    // Lines wrapped past the change before the rest is left for later: enough for the view.
    const int enough = visibleLineCount() + 2;

    std::vector<int> fresh;
    std::size_t resume = starts.size(); // old lines from here on are kept, moved by delta
    bool keepTail = false;
    int past = 0;
    int s = starts[std::size_t(first)];
    while (true) {
        const int e = s < n ? breakLine(s) : n;
        if (s >= n || (e == n && m_text.at(n - 1) != u'\n')) {
            m_layoutComplete = true; // s starts the last line
            break;
        }
        if (e >= editEnd) {
            // Past the change, a line that starts where an old one started (moved by delta)
            // is followed by the old lines.
            const auto old = std::lower_bound(starts.begin() + first + 1, starts.end(), e - delta);
            if (old != starts.end() && *old == e - delta) {
                resume = std::size_t(old - starts.begin());
                keepTail = true;
                break;
            }
            if (++past > enough) {
                fresh.push_back(e);
                m_layoutComplete = false; // the rest is wrapped again when needed
                break;
            }
        }
        fresh.push_back(e);
        if (e == n) {
            m_layoutComplete = true; // the empty line after a final line feed
            break;
        }
        s = e;
    }
    if (keepTail)
        for (std::size_t i = resume; i < starts.size(); ++i)
            starts[i] += delta;
    starts.erase(starts.begin() + first + 1, starts.begin() + std::ptrdiff_t(resume));
    starts.insert(starts.begin() + first + 1, fresh.begin(), fresh.end());
    m_topLine = std::clamp(m_topLine, 0, int(starts.size()) - 1);
    return first;
}

int LongTextEdit::lineCount() const
{
    layoutUntil(int(m_text.size()));
    return int(m_lineStarts.size());
}

int LongTextEdit::lineStart(int line) const
{
    layoutLines(line + 1);
    return m_lineStarts.at(std::size_t(line));
}

int LongTextEdit::lineOf(int position) const
{
    layoutUntil(position);
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), position);
    return std::max(0, int(after - m_lineStarts.begin()) - 1);
}

int LongTextEdit::lineEndPosition(int line, bool *atLineEnd) const
{
    if (atLineEnd)
        *atLineEnd = false;
    layoutLines(line + 2);
    if (line + 1 >= int(m_lineStarts.size()))
        return int(m_text.size());
    const int next = m_lineStarts[std::size_t(line + 1)];
    if (m_text.at(next - 1) == u'\n')
        return next - 1;
    if (atLineEnd)
        *atLineEnd = true; // the start of the next line, shown at the end of this one
    return next;
}

// ---- Geometry ----

QRect LongTextEdit::textArea() const
{
    return contentsRect().adjusted(MarginX, MarginY, -MarginX, -MarginY);
}

int LongTextEdit::visibleLineCount() const
{
    return std::max(1, int(textArea().height() / m_lineHeight));
}

qreal LongTextEdit::widthBetween(int lineStart, int position) const
{
    qreal x = 0;
    m_text.scan(lineStart, [&](qsizetype i, QChar c) {
        if (i >= position)
            return false;
        if (c != u'\n')
            x += advance(c);
        return true;
    });
    return x;
}

int LongTextEdit::caretLine() const
{
    const int line = lineOf(m_caret);
    return m_caretAtLineEnd ? line - 1 : line;
}

QRect LongTextEdit::caretRect() const
{
    return rectAt(m_caret, caretLine());
}

QRect LongTextEdit::positionRect(int position) const
{
    position = std::clamp(position, 0, int(m_text.size()));
    return rectAt(position, lineOf(position));
}

QRect LongTextEdit::rectAt(int position, int line) const
{
    const QRect area = textArea();
    const qreal x = widthBetween(lineStart(line), position);
    const int top = area.top() + int((line - m_topLine) * m_lineHeight);
    return QRect(area.left() + int(std::lround(x)), top, 1, int(m_lineHeight));
}

int LongTextEdit::positionInLine(int line, qreal x, bool *atLineEnd) const
{
    const int start = lineStart(line);
    const int end = lineEndPosition(line, atLineEnd);
    int found = end;
    qreal left = 0;
    m_text.scan(start, [&](qsizetype i, QChar c) {
        if (i >= end)
            return false;
        const qreal a = advance(c);
        if (x < left + a / 2) {
            found = int(i);
            return false;
        }
        left += a;
        return true;
    });
    if (found < end && atLineEnd)
        *atLineEnd = false;
    return found;
}

LongTextEdit::Hit LongTextEdit::hitAt(QPoint point) const
{
    const QRect area = textArea();
    const int row = int(std::floor((point.y() - area.top()) / m_lineHeight));
    layoutLines(m_topLine + row + 1);
    const int line = std::clamp(m_topLine + row, 0, int(m_lineStarts.size()) - 1);
    Hit hit;
    hit.position = positionInLine(line, point.x() - area.left(), &hit.atLineEnd);
    return hit;
}

int LongTextEdit::positionAt(QPoint point) const
{
    return hitAt(point).position;
}

void LongTextEdit::ensureCaretVisible()
{
    const int line = caretLine();
    if (line < m_topLine)
        scrollTo(line);
    else if (line >= m_topLine + visibleLineCount())
        scrollTo(line - visibleLineCount() + 1);
}

void LongTextEdit::scrollTo(int topLine)
{
    layoutLines(topLine + 1);
    topLine = std::clamp(topLine, 0, int(m_lineStarts.size()) - 1);
    if (topLine == m_topLine)
        return;
    const int lines = topLine - m_topLine;
    m_topLine = topLine;
    // A few lines: move what is shown and paint only the lines that come into view.
    if (std::abs(lines) < visibleLineCount())
        scroll(0, int(-lines * m_lineHeight), textArea());
    else
        update();
}

// ---- Painting ----

void LongTextEdit::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    drawFrame(&painter);

    const QRect area = textArea();
    painter.setClipRect(area.intersected(event->rect()));
    painter.setFont(drawingFont());
    const QColor text = palette().color(QPalette::Text);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlighted = palette().color(QPalette::HighlightedText);
    const int selStart = selectionStart();
    const int selEnd = selectionEnd();
    layoutLines(m_topLine + visibleLineCount() + 2);
    const int lines = int(m_lineStarts.size());
    const int last = std::min(lines - 1, m_topLine + visibleLineCount());
    for (int line = m_topLine; line <= last; ++line) {
        const int start = m_lineStarts[std::size_t(line)];
        int end = line + 1 < lines ? m_lineStarts[std::size_t(line + 1)] : int(m_text.size());
        if (end > start && m_text.at(end - 1) == u'\n')
            --end;
        const qreal top = area.top() + (line - m_topLine) * m_lineHeight;
        if (top + m_lineHeight < event->rect().top() || top > event->rect().bottom() + 1)
            continue; // not asked for
        const QPointF baseline(area.left(), top + m_ascent);
        painter.setPen(text);
        painter.drawText(baseline, m_text.mid(start, end - start));
        const int a = std::max(selStart, start);
        const int b = std::min(selEnd, end);
        if (a < b) {
            const qreal x = widthBetween(start, a);
            const qreal w = widthBetween(a, b);
            painter.fillRect(QRectF(area.left() + x, top, w, m_lineHeight), highlight);
            painter.setPen(highlighted);
            painter.drawText(QPointF(area.left() + x, baseline.y()), m_text.mid(a, b - a));
        }
    }
    if (hasFocus() && m_caretOn && !hasSelection())
        painter.fillRect(caretRect(), text);
}

void LongTextEdit::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    ensureCaretVisible(); // wrapped again for the new width on the way
}

void LongTextEdit::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        layoutAll();
        ensureCaretVisible();
        update();
    }
}

void LongTextEdit::restartBlink()
{
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
}

void LongTextEdit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId()) {
        QFrame::timerEvent(event);
        return;
    }
    m_caretOn = !m_caretOn;
    update(caretRect());
}

void LongTextEdit::focusInEvent(QFocusEvent *event)
{
    QFrame::focusInEvent(event);
    restartBlink();
    update();
}

void LongTextEdit::focusOutEvent(QFocusEvent *event)
{
    QFrame::focusOutEvent(event);
    m_blink.stop();
    update();
}

// ---- Mouse ----

void LongTextEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const Hit hit = hitAt(event->position().toPoint());
    moveCaret(hit.position, event->modifiers().testFlag(Qt::ShiftModifier), hit.atLineEnd);
    m_selecting = true;
}

void LongTextEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !event->buttons().testFlag(Qt::LeftButton))
        return;
    const QPoint at = event->position().toPoint();
    const QRect area = textArea();
    // Dragging past the top or the bottom scrolls a line at a time.
    if (at.y() < area.top())
        scrollTo(m_topLine - 1);
    else if (at.y() > area.bottom())
        scrollTo(m_topLine + 1);
    const Hit hit = hitAt(at);
    moveCaret(hit.position, true, hit.atLineEnd);
}

void LongTextEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting) {
        event->ignore();
        return;
    }
    m_selecting = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void LongTextEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    selectWordAt(hitAt(event->position().toPoint()).position);
    m_selecting = false;
}

void LongTextEdit::selectWordAt(int position)
{
    int start = position;
    int end = position;
    while (start > 0 && !isBlank(m_text.at(start - 1)) && m_text.at(start - 1) != u'\n')
        --start;
    while (end < m_text.size() && !isBlank(m_text.at(end)) && m_text.at(end) != u'\n')
        ++end;
    m_anchor = start;
    moveCaret(end, true);
}

void LongTextEdit::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        event->ignore();
        return;
    }
    scrollTo(m_topLine - 3 * notches);
    event->accept();
}

// ---- Keyboard ----

void LongTextEdit::deleteAround(bool forward)
{
    if (hasSelection()) {
        insertAtCaret(QString());
        return;
    }
    int from = m_caret;
    int to = m_caret;
    if (forward && to < m_text.size())
        to += (m_text.at(to).isHighSurrogate() && to + 1 < m_text.size()) ? 2 : 1;
    else if (!forward && from > 0)
        from -= (m_text.at(from - 1).isLowSurrogate() && from > 1) ? 2 : 1;
    if (from == to)
        return;
    replace(from, to, QString());
    moveCaret(from, false);
}

void LongTextEdit::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (event == QKeySequence::Copy || event == QKeySequence::Cut) {
        if (hasSelection())
            QGuiApplication::clipboard()->setText(selectedText());
        if (event == QKeySequence::Cut)
            insertAtCaret(QString());
        return;
    }
    if (event == QKeySequence::Paste) {
        QString pasted = QGuiApplication::clipboard()->text();
        pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        pasted.replace(u'\r', u'\n');
        insertAtCaret(pasted);
        return;
    }
    const int line = caretLine();
    switch (event->key()) {
    case Qt::Key_Left:
        if (hasSelection() && !shift)
            moveCaret(selectionStart(), false);
        else
            moveCaret(m_caret - 1, shift);
        return;
    case Qt::Key_Right:
        if (hasSelection() && !shift)
            moveCaret(selectionEnd(), false);
        else
            moveCaret(m_caret + 1, shift);
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const qreal goal = m_goalX >= 0 ? m_goalX : widthBetween(lineStart(line), m_caret);
        const int step
            = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) ? 1 : visibleLineCount();
        const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
        layoutLines(line + step + 1);
        const int target = std::clamp(line + (up ? -step : step), 0, int(m_lineStarts.size()) - 1);
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown)
            scrollTo(m_topLine + (target - line));
        bool atLineEnd = false;
        const int position = positionInLine(target, goal, &atLineEnd);
        moveCaret(position, shift, atLineEnd);
        m_goalX = goal;
        return;
    }
    case Qt::Key_Home:
        moveCaret(control ? 0 : lineStart(line), shift);
        return;
    case Qt::Key_End: {
        if (control) {
            moveCaret(int(m_text.size()), shift);
            return;
        }
        bool atLineEnd = false;
        const int position = lineEndPosition(line, &atLineEnd);
        moveCaret(position, shift, atLineEnd);
        return;
    }
    case Qt::Key_Backspace:
        deleteAround(false);
        return;
    case Qt::Key_Delete:
        deleteAround(true);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        insertAtCaret(QStringLiteral("\n"));
        return;
    default:
        break;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !control && std::all_of(typed.begin(), typed.end(), [](QChar c) {
            return c.isPrint() || c == u'\t';
        })) {
        insertAtCaret(typed);
        return;
    }
    event->ignore(); // Escape and the like go on to the window
}

void LongTextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty())
        insertAtCaret(event->commitString());
    event->accept();
}

QVariant LongTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect();
    case Qt::ImCursorPosition:
        return m_caret - lineStart(caretLine());
    case Qt::ImSurroundingText: {
        const int line = caretLine();
        return m_text.mid(lineStart(line), lineEndPosition(line) - lineStart(line));
    }
    default:
        return QFrame::inputMethodQuery(query);
    }
}
