#include "ui/common/ChatTextLayout.h"

#include "ui/common/ChangeNotify.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>

namespace {

// QTextLayout breaks lines only at QChar::LineSeparator. Line breaks become separators one for
// one ("\r\n" keeps its length through a zero-width space) so that link ranges found in the
// original text stay valid in the shaped one.
QString shapedText(const QString &text)
{
    QString shaped = text;
    for (qsizetype i = 0; i < shaped.size(); ++i) {
        const QChar c = shaped.at(i);
        if (c == u'\n')
            shaped[i] = QChar::LineSeparator;
        else if (c == u'\r')
            shaped[i] = (i + 1 < shaped.size() && shaped.at(i + 1) == u'\n')
                ? QChar(0x200B)
                : QChar(QChar::LineSeparator);
    }
    return shaped;
}

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
    m_shaped = shapedText(text);
    m_links = MessageLinks::find(text);
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
        for (const MessageLink &link : std::as_const(m_links))
            formats.append({int(link.start), int(link.length), format});
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
            QString rest = m_text.mid(line.textStart());
            rest.replace(u'\r', u' ').replace(u'\n', u' ');
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
    m_naturalWidth = std::ceil(m_naturalWidth);
    m_size = QSizeF(m_naturalWidth, std::ceil(y));
    return m_size;
}

void ChatTextLayout::draw(QPainter &painter, const QPointF &topLeft) const
{
    if (!m_layout)
        return;
    for (int i = 0; i < m_shownLines; ++i)
        m_layout->lineAt(i).draw(&painter, topLeft);
    if (!m_elided.isEmpty()) {
        painter.save();
        painter.setFont(m_font);
        const QFontMetricsF metrics(m_font);
        painter.drawText(topLeft + m_elidedAt + QPointF(0, metrics.ascent()), m_elided);
        painter.restore();
    }
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
        for (const MessageLink &link : m_links) {
            if (position >= link.start && position < link.start + link.length)
                return link;
        }
        return std::nullopt;
    }
    return std::nullopt;
}
