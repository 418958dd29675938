#pragma once

#include "ui/common/MessageLinks.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <optional>

class QPainter;

// A message body laid out for painting: its web links found once and shown underlined in the
// link colour, wrapped at word boundaries where possible and anywhere else when a word alone is
// wider than the line ("ㅋㅋㅋ…", Hangul without blanks, long addresses), so nothing is ever
// clipped. The layout is made once per width and kept, and the same lines serve painting and
// hit-testing. The text is plain text: nothing in it is read as markup. A link always reads in
// the order of the address it opens: bidi controls inside it are shown percent-encoded, as the
// address has them, and it is isolated from the direction of the text around it.
class ChatTextLayout
{
public:
    explicit ChatTextLayout(const QString &text = {}, const QFont &font = {});

    void setText(const QString &text);
    QString text() const { return m_text; }
    // The text as it is drawn, its line breaks as QChar::LineSeparator.
    QString shownText() const { return m_shaped; }

    void setFont(const QFont &font);

    // Horizontal alignment of the lines within the laid-out width (left by default).
    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }

    // The colour of links; the rest of the text takes the painter's pen.
    void setLinkColor(const QColor &color);

    // At most this many lines; the last one shown ends in "…" when text is left over.
    // 0: no limit.
    void setMaximumLines(int lines);

    // Room that stacked combining marks may add to a line, above and below it, in lines; what
    // reaches farther is cut rather than drawn over the text around.
    static constexpr qreal maxInkLines = 3;

    // Lays the text out `width` wide, unless it already is; returns the size taken. The
    // height covers every glyph, stacked combining marks included (up to maxInkLines).
    QSizeF layout(qreal width);
    QSizeF size() const { return m_size; }
    // The widest line's own width: a bubble around the text needs no more.
    qreal naturalWidth() const { return m_naturalWidth; }
    int lineCount() const { return m_shownLines + (m_elided.isEmpty() ? 0 : 1); }
    // The width of the longest paragraph unwrapped.
    qreal idealWidth() const;

    // Paints the lines with their top-left corner at `topLeft`, in the painter's pen.
    void draw(QPainter &painter, const QPointF &topLeft) const;

    // The link under `point` (relative to the top-left corner of the layout), if any.
    std::optional<MessageLink> linkAt(const QPointF &point) const;

private:
    void shape();
    void invalidate();

    QString m_text;
    QString m_shaped; // what is drawn of m_text
    QList<std::pair<qsizetype, qsizetype>> m_shownLinks; // m_links' ranges in m_shaped
    bool m_stacksMarks = false; // lines take the height of their glyphs, and drawing is clipped
    QFont m_font;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    QColor m_linkColor;
    int m_maximumLines = 0;
    QList<MessageLink> m_links;

    std::unique_ptr<QTextLayout> m_layout;
    qreal m_width = -1;
    QSizeF m_size;
    qreal m_naturalWidth = 0;
    int m_shownLines = 0;
    // The last shown line when the text was cut: its elided text and where it stands.
    QString m_elided;
    QPointF m_elidedAt;
};
