#include "digitlabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <cmath>

DigitLabel::DigitLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
}

int DigitLabel::glyphIndex(QChar c)
{
    // Looked up for every character at every rewrite and paint: a table, not a search.
    static constexpr auto table = [] {
        std::array<signed char, 128> t {};
        t.fill(-1);
        for (std::size_t i = 0; i + 1 < sizeof(Characters); ++i)
            t[std::size_t(Characters[i])] = static_cast<signed char>(i);
        return t;
    }();
    return c.unicode() < table.size() ? table[c.unicode()] : -1;
}

bool DigitLabel::allDrawable(const QString &text)
{
    for (const QChar c : text)
        if (glyphIndex(c) < 0)
            return false;
    return true;
}

bool DigitLabel::drawable() const
{
    if (frameWidth() != 0 || margin() != 0 || indent() > 0 || wordWrap()
        || textFormat() != Qt::PlainText || !pixmap().isNull()
        || layoutDirection() != Qt::LeftToRight)
        return false;
    return allDrawable(text());
}

void DigitLabel::rewrite(QLabel *label, const QString &text)
{
    auto *digits = qobject_cast<DigitLabel *>(label);
    if (!digits) {
        label->setText(text);
        return;
    }
    const QString old = label->text();
    if (old == text)
        return;
    const std::optional<QRect> changed = digits->changedArea(old, text);
    if (!changed) {
        label->setText(text);
        return;
    }
    // The label's own update would repaint all of it. It has no children and its parent
    // takes updates (changedArea() made sure), so holding its updates for the one call is
    // what setUpdatesEnabled() would do, without the full repaint that re-enabling brings.
    digits->setAttribute(Qt::WA_UpdatesDisabled, true);
    label->setText(text);
    digits->setAttribute(Qt::WA_UpdatesDisabled, false);
    digits->update(*changed);
}

std::optional<QRect> DigitLabel::changedArea(const QString &from, const QString &to) const
{
    // Only when what is on screen was drawn from the images that would draw the new text.
    if (!m_glyphsValid || !m_glyphs || m_ratio != devicePixelRatioF() || m_colour != textColour()
        || !isVisible() || !updatesEnabled() || !children().isEmpty()
        || (parentWidget() && !parentWidget()->updatesEnabled()) || from.size() != to.size()
        || !drawable() || !allDrawable(to))
        return std::nullopt;
    qreal a = origin(from).x();
    qreal b = origin(to).x();
    QRect changed;
    for (qsizetype i = 0; i < to.size(); ++i) {
        const int ia = glyphIndex(from.at(i));
        const int ib = glyphIndex(to.at(i));
        if (ia != ib || a != b)
            changed |= glyphBox(a, ia) | glyphBox(b, ib);
        a += m_glyphs->advances[std::size_t(ia)];
        b += m_glyphs->advances[std::size_t(ib)];
    }
    return changed;
}

QPointF DigitLabel::origin(const QString &text) const
{
    qreal width = 0;
    for (const QChar c : text)
        width += m_glyphs->advances[std::size_t(glyphIndex(c))];
    const QRect area = contentsRect();
    const Qt::Alignment align = QStyle::visualAlignment(layoutDirection(), alignment());
    qreal x = area.left();
    if (align & Qt::AlignRight)
        x = area.right() + 1 - width;
    else if (align & Qt::AlignHCenter)
        x = area.left() + (area.width() - width) / 2;
    qreal y = area.top();
    if (align & Qt::AlignBottom)
        y = area.bottom() + 1 - m_glyphs->height;
    else if (align & Qt::AlignVCenter)
        y = area.top() + (area.height() - m_glyphs->height) / 2;
    return { x, qreal(qRound(y)) };
}

QRect DigitLabel::glyphBox(qreal x, int index) const
{
    // Wider than the image by a column on each side, for the rounding of its place; the
    // label's whole height, which holds all it draws.
    const int left = int(std::floor(x)) - Pad - 1;
    const int right = int(std::ceil(x + m_glyphs->advances[std::size_t(index)])) + Pad + 1;
    return QRect(QPoint(left, 0), QPoint(right, std::max(0, height() - 1)));
}

std::map<QString, DigitLabel::Glyphs> &DigitLabel::glyphStyles()
{
    static std::map<QString, Glyphs> styles;
    return styles;
}

void DigitLabel::resetGlyphs()
{
    m_colour = textColour();
    m_ratio = devicePixelRatioF();
    const QString key = font().key() + u'|' + QString::number(m_colour.rgba(), 16) + u'|'
        + QString::number(m_ratio);
    auto [found, added] = glyphStyles().try_emplace(key);
    m_glyphs = &found->second;
    if (added) {
        const QFontMetricsF metrics(font());
        for (std::size_t i = 0; i < m_glyphs->advances.size(); ++i)
            m_glyphs->advances[i] = metrics.horizontalAdvance(QChar::fromLatin1(Characters[i]));
        m_glyphs->ascent = metrics.ascent();
        m_glyphs->height = metrics.height();
    }
    m_glyphsValid = true;
}

const QImage &DigitLabel::glyphImage(int index, int fraction)
{
    const int key = index * Fractions + fraction;
    auto found = m_glyphs->images.find(key);
    if (found != m_glyphs->images.end())
        return *found;
    const QSizeF size(m_glyphs->advances[std::size_t(index)] + 2 * Pad, m_glyphs->height);
    QImage image((size * m_ratio).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(m_ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setFont(font());
    p.setPen(m_colour);
    p.drawText(QPointF(Pad + qreal(fraction) / Fractions, m_glyphs->ascent),
               QString(QChar::fromLatin1(Characters[index])));
    p.end();
    return *m_glyphs->images.insert(key, image);
}

QColor DigitLabel::textColour() const
{
    // The colour group the plain painting would use.
    const QPalette &colours = palette();
    const QPalette::ColorRole role = foregroundRole();
    if (!isEnabled())
        return colours.color(QPalette::Disabled, role);
    // Asking whether the window is active walks up to it; most palettes give both groups the
    // same colour, and then the answer does not matter.
    const QColor &active = colours.color(QPalette::Active, role);
    const QColor &inactive = colours.color(QPalette::Inactive, role);
    if (active == inactive || isActiveWindow())
        return active;
    return inactive;
}

void DigitLabel::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        m_glyphsValid = false;
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

bool DigitLabel::fillsItself() const
{
    // A brush with any transparency lets the panel show through: then the panel must be painted
    // first, as for any label.
    return autoFillBackground() && !testAttribute(Qt::WA_StyledBackground)
        && palette().brush(backgroundRole()).isOpaque();
}

bool DigitLabel::syncOpaque()
{
    const bool opaque = fillsItself();
    if (testAttribute(Qt::WA_OpaquePaintEvent) == opaque)
        return true;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    if (!opaque) {
        // This paint covered nothing of what is under the label: once more with the panel.
        update();
        return false;
    }
    return true;
}

bool DigitLabel::event(QEvent *event)
{
    if (event->type() == QEvent::Polish)
        syncOpaque();
    return QLabel::event(event);
}

void DigitLabel::paintEvent(QPaintEvent *event)
{
    if (!syncOpaque())
        return;
    // An opaque label fills its background with the painter of its text: the toolkit's own fill
    // would open a painter of its own first, which costs about as much as the text.
    const bool opaque = testAttribute(Qt::WA_OpaquePaintEvent);
    const bool glyphs = drawable();
    if (!opaque && !glyphs) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    if (opaque)
        p.fillRect(event->rect(), palette().brush(backgroundRole()));
    if (glyphs) {
        paintGlyphs(p, event->rect());
        return;
    }
    p.end();
    QLabel::paintEvent(event);
}

void DigitLabel::paintGlyphs(QPainter &p, const QRect &area)
{
    if (!m_glyphsValid || m_ratio != devicePixelRatioF() || m_colour != textColour())
        resetGlyphs();
    const QString t = text();
    const QPointF at = origin(t);
    qreal x = at.x();
    for (const QChar c : t) {
        const int index = glyphIndex(c);
        // Characters outside the repainted part keep the pixels they have.
        if (c != u' ' && glyphBox(x, index).intersects(area)) {
            const long units = std::lround(x * Fractions);
            const long whole
                = units >= 0 ? units / Fractions : -((-units + Fractions - 1) / Fractions);
            p.drawImage(QPointF(qreal(whole) - Pad, at.y()),
                        glyphImage(index, int(units - whole * Fractions)));
        }
        x += m_glyphs->advances[std::size_t(index)];
    }
}
