#include "ui/common/ChatTextLayout.h"

#include "ui/common/ChangeNotify.h"
#include "ui/common/DisplayText.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>

namespace {

// One plain character as QTextLayout needs it: it breaks lines only at QChar::LineSeparator,
// so line breaks become separators one for one ("\r\n" through a zero-width space).
QChar shapedChar(const QString &text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c == u'\n')
        return QChar::LineSeparator;
    if (c == u'\r')
        return i + 1 < text.size() && text.at(i + 1) == u'\n' ? QChar(0x200B)
                                                              : QChar(QChar::LineSeparator);
    return c;
}

// Whether the text has two combining marks in a row: only marks stacked on one letter reach
// beyond a line's height.
bool stacksMarks(const QString &text)
{
    bool previousMark = false;
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        const bool mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing;
        if (mark && previousMark)
            return true;
        previousMark = mark;
    }
    return false;
}

// Where a laid-out line's glyphs really draw, in layout coordinates.
QRectF inkRect(const QTextLine &line)
{
    QRectF ink;
    for (const QGlyphRun &run : line.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            ink |= font.boundingRect(glyphs.at(i)).translated(positions.at(i));
    }
    return ink;
}

} // namespace

// Outside links the text keeps its characters, bidi controls included. A link is shown so that
// it reads in the order of the address it opens: left to right, isolated from any override
// around it, and with its own bidi controls written out percent-encoded, as the address has
// them, so that none can reorder what is shown of it.
void ChatTextLayout::shape()
{
    m_shaped.clear();
    m_shaped.reserve(m_text.size());
    m_shownLinks.clear();
    qsizetype position = 0;
    const auto plainUpTo = [&](qsizetype end) {
        for (; position < end; ++position)
            m_shaped.append(shapedChar(m_text, position));
    };
    for (const MessageLink &link : std::as_const(m_links)) {
        plainUpTo(link.start);
        m_shaped.append(DisplayText::leftToRightIsolate);
        const qsizetype start = m_shaped.size();
        m_shaped.append(DisplayText::linkText(QStringView(m_text).sliced(link.start, link.length)));
        m_shownLinks.append({start, m_shaped.size() - start});
        m_shaped.append(DisplayText::popDirectionalIsolate);
        position = link.start + link.length;
    }
    plainUpTo(m_text.size());
    m_stacksMarks = stacksMarks(m_shaped);
}

namespace {

qreal alignedX(Qt::Alignment alignment, qreal width, qreal lineWidth)
{
    if (alignment & Qt::AlignHCenter)
        return (width - lineWidth) / 2;
    if (alignment & Qt::AlignRight)
        return width - lineWidth;
    return 0;
}

} // namespace

ChatTextLayout::ChatTextLayout(const QString &text, const QFont &font)
    : m_font(font)
{
    setText(text);
}

void ChatTextLayout::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_links = MessageLinks::find(text);
    shape();
    invalidate();
}

void ChatTextLayout::setFont(const QFont &font)
{
    if (assignChanged(m_font, font))
        invalidate();
}

void ChatTextLayout::setAlignment(Qt::Alignment alignment)
{
    if (assignChanged(m_alignment, alignment))
        invalidate();
}

void ChatTextLayout::setLinkColor(const QColor &color)
{
    // The colour is part of the layout's formats, which are fixed once it is laid out.
    if (assignChanged(m_linkColor, color) && !m_links.isEmpty())
        invalidate();
}

void ChatTextLayout::setMaximumLines(int lines)
{
    if (assignChanged(m_maximumLines, lines))
        invalidate();
}

void ChatTextLayout::invalidate()
{
    m_layout.reset();
    m_width = -1;
    m_size = {};
    m_naturalWidth = 0;
    m_shownLines = 0;
    m_elided.clear();
}

qreal ChatTextLayout::idealWidth() const
{
    const QFontMetricsF metrics(m_font);
    qreal widest = 0;
    for (const QStringView paragraph : QStringView(m_shaped).split(QChar::LineSeparator))
        widest = std::max(widest, metrics.horizontalAdvance(paragraph.toString()));
    return std::ceil(widest);
}

QSizeF ChatTextLayout::layout(qreal width)
{
    width = std::max<qreal>(width, 1);
    if (m_layout && width == m_width)
        return m_size;
    invalidate();
    m_width = width;
    m_layout = std::make_unique<QTextLayout>(m_shaped, m_font);
    // The glyphs are kept with the lines, so that each paint draws them without shaping the
    // text again.
    m_layout->setCacheEnabled(true);
    if (m_text.isEmpty())
        return m_size;

    QTextOption option(m_alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // A paragraph of its own whose direction comes from its first strong character: the text
    // is isolated from everything around it without marks added to it (link ranges stay).
    option.setTextDirection(Qt::LayoutDirectionAuto);
    m_layout->setTextOption(option);
    if (m_linkColor.isValid() && !m_links.isEmpty()) {
        QTextCharFormat format;
        format.setForeground(m_linkColor);
        format.setFontUnderline(true);
        QList<QTextLayout::FormatRange> formats;
        for (const auto &[start, length] : std::as_const(m_shownLinks))
            formats.append({int(start), int(length), format});
        m_layout->setFormats(formats);
    }

    const QFontMetricsF metrics(m_font);
    qreal y = 0;
    m_layout->beginLayout();
    while (true) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        const bool more = line.textStart() + line.textLength() < m_shaped.size();
        if (m_maximumLines > 0 && m_shownLines + 1 == m_maximumLines && more) {
            // The last line allowed: what is left of the text, on one line, cut with "…".
            QString rest = m_shaped.mid(line.textStart());
            rest.replace(QChar::LineSeparator, u' ');
            m_elided = metrics.elidedText(rest, Qt::ElideRight, width);
            const qreal elidedWidth = metrics.horizontalAdvance(m_elided);
            m_elidedAt = QPointF(alignedX(m_alignment, width, elidedWidth), y);
            m_naturalWidth = std::max(m_naturalWidth, elidedWidth);
            y += line.height();
            break;
        }
        m_naturalWidth = std::max(m_naturalWidth, line.naturalTextWidth());
        y += line.height();
        ++m_shownLines;
    }
    m_layout->endLayout();
    if (m_stacksMarks) {
        // Stacked combining marks ("zalgo") reach far above and below a line's own height:
        // each line gets the room its glyphs take, up to maxInkLines of its height on either
        // side, so that they never draw over the text around (draw() clips the rest).
        qreal shift = 0;
        for (int i = 0; i < m_shownLines; ++i) {
            QTextLine line = m_layout->lineAt(i);
            const QRectF ink = inkRect(line);
            const qreal limit = maxInkLines * line.height();
            const qreal above = std::clamp(line.y() - ink.top(), 0.0, limit);
            const qreal below = std::clamp(ink.bottom() - line.y() - line.height(), 0.0, limit);
            line.setPosition(QPointF(line.x(), line.y() + shift + above));
            shift += above + below;
        }
        m_elidedAt.ry() += shift;
        y += shift;
    }
    m_naturalWidth = std::ceil(m_naturalWidth);
    m_size = QSizeF(m_naturalWidth, std::ceil(y));
    return m_size;
}

void ChatTextLayout::draw(QPainter &painter, const QPointF &topLeft) const
{
    if (!m_layout)
        return;
    painter.save();
    if (m_stacksMarks) {
        // Marks beyond the room their lines got stay within the text's own height; sideways a
        // glyph may overhang a little, as anywhere.
        painter.setClipRect(
            QRectF(topLeft.x() - m_width, topLeft.y(), 3 * m_width, m_size.height()),
            Qt::IntersectClip);
    }
    for (int i = 0; i < m_shownLines; ++i)
        m_layout->lineAt(i).draw(&painter, topLeft);
    if (!m_elided.isEmpty()) {
        painter.setFont(m_font);
        const QFontMetricsF metrics(m_font);
        painter.drawText(topLeft + m_elidedAt + QPointF(0, metrics.ascent()), m_elided);
    }
    painter.restore();
}

std::optional<MessageLink> ChatTextLayout::linkAt(const QPointF &point) const
{
    if (!m_layout || m_links.isEmpty())
        return std::nullopt;
    for (int i = 0; i < m_shownLines; ++i) {
        const QTextLine line = m_layout->lineAt(i);
        const QRectF rect = line.naturalTextRect();
        if (point.y() < line.y() || point.y() >= line.y() + line.height())
            continue;
        if (point.x() < rect.left() || point.x() >= rect.right())
            return std::nullopt;
        const int position = line.xToCursor(point.x(), QTextLine::CursorOnCharacter);
        for (qsizetype i = 0; i < m_shownLinks.size(); ++i) {
            const auto &[start, length] = m_shownLinks.at(i);
            if (position >= start && position < start + length)
                return m_links.at(i);
        }
        return std::nullopt;
    }
    return std::nullopt;
}
