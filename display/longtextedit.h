#pragma once

#include "chunkedtext.h"

#include <QBasicTimer>
#include <QFrame>
#include <QString>
#include <array>
#include <limits>
#include <vector>

// A multi-line, editable text box for a text that grows for hours: word wrap at the box's
// width, no scroll bars (it scrolls to keep the caret in view, and with the wheel). Adding text
// costs the same however long the text is: the text is kept in pieces, only the lines from a
// change to the bottom of the view are wrapped again (the rest when they are needed), and only
// the lines in view are painted.
//
// Lines are broken after blanks; a word wider than the box is cut where it overflows; a line
// feed ends a line. Blanks at the end of a line may run past the right edge. GUI thread only.
class LongTextEdit : public QFrame
{
    Q_OBJECT

public:
    explicit LongTextEdit(QWidget *parent = nullptr);

    QString text() const { return m_text.toString(); }
    int length() const { return int(m_text.size()); }
    // Replaces the whole text; the caret goes to the end.
    void setText(const QString &text);
    void clear() { setText(QString()); }
    // Inserts at the caret, replacing the selection; the caret ends after the new text and is
    // scrolled into view.
    void insertAtCaret(const QString &text);

    // Positions count characters from the start of the text, 0 to its length.
    int caretPosition() const { return m_caret; }
    // Moves the caret; with keepAnchor the selection runs from where it was anchored.
    void setCaretPosition(int position, bool keepAnchor = false);
    bool hasSelection() const { return m_anchor != m_caret; }
    int selectionStart() const { return std::min(m_anchor, m_caret); }
    int selectionEnd() const { return std::max(m_anchor, m_caret); }
    QString selectedText() const;
    void selectAll();

    // The lines as shown: line i holds the text from lineStart(i) up to lineStart(i + 1).
    // lineCount() wraps the whole text first.
    int lineCount() const;
    int lineStart(int line) const;
    int lineOf(int position) const;
    int firstVisibleLine() const { return m_topLine; }
    int visibleLineCount() const; // lines that fit whole
    // The caret position nearest to a point of the box.
    int positionAt(QPoint point) const;
    // Where the caret is drawn, in box coordinates.
    QRect caretRect() const;
    // Where the caret would be drawn at a position (at the start of a wrapped line).
    QRect positionRect(int position) const;
    // The width lines are wrapped at: the box's inner width.
    qreal wrapWidth() const;

signals:
    // The left button was released over the box after a press in it.
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    struct Hit
    {
        int position = 0;
        bool atLineEnd = false; // shown at the end of the line above (a wrapped line's end)
    };

    // The only place the text changes: [from, to) becomes text; the lines are wrapped again
    // from the change on, until they meet the old lines.
    void replace(int from, int to, const QString &text);
    // Returns the first line wrapped again.
    int relayout(int from, int removed, int inserted);
    void layoutAll();
    // Wraps more of the text: until the line that holds `position` and its end are known, or
    // until `lines` lines are known.
    void layoutUntil(int position) const;
    void layoutLines(int lines) const;
    // One more line; false when the last line is known already.
    bool layoutNextLine() const;
    // Starts the wrapping again when the box's width has changed (a hidden box is resized
    // without a resize event).
    void syncWrapWidth() const;
    // The start of the line after the one that starts at `start` (the text's length for the
    // last line).
    int breakLine(int start) const;
    void updateMetrics();
    qreal advance(QChar c) const;
    // From the left of the text area to `position`, on the line that starts at lineStart.
    qreal widthBetween(int lineStart, int position) const;
    // The last position of a line where the caret can stand before the next line begins.
    int lineEndPosition(int line, bool *atLineEnd = nullptr) const;
    int caretLine() const;
    QRect rectAt(int position, int line) const;
    Hit hitAt(QPoint point) const;
    int positionInLine(int line, qreal x, bool *atLineEnd) const;
    QRect textArea() const;
    QFont drawingFont() const;
    void moveCaret(int position, bool keepAnchor, bool atLineEnd = false);
    void ensureCaretVisible();
    void scrollTo(int topLine);
    void restartBlink();
    void deleteAround(bool forward);
    void selectWordAt(int position);

    ChunkedText m_text;
    // The starts of the lines wrapped so far: always starts with 0, ascending. The text beyond
    // the last one is wrapped when needed, unless m_layoutComplete.
    mutable std::vector<int> m_lineStarts { 0 };
    mutable bool m_layoutComplete = true;
    int m_caret = 0;
    int m_anchor = 0;
    bool m_caretAtLineEnd = false;
    int m_topLine = 0;
    int m_dirtyFromLine = std::numeric_limits<int>::max(); // to be painted again from here down
    qreal m_goalX = -1; // kept while the caret goes up and down
    mutable qreal m_wrapWidth = 0;
    qreal m_lineHeight = 1;
    qreal m_ascent = 0;
    std::array<qreal, 256> m_latinAdvance {};
    bool m_caretOn = true;
    bool m_selecting = false;
    QBasicTimer m_blink;
};
