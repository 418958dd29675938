#include "ui/panels/LineLimitedText.h"

#include "ui/common/ChangeNotify.h"

#include <QPainter>
#include <QTextLayout>

LineLimitedText::LineLimitedText(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void LineLimitedText::setText(const QString &text)
{
    if (!assignChanged(m_text, text))
        return;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void LineLimitedText::setMaxLines(int lines)
{
    if (!assignChanged(m_maxLines, lines))
        return;
    updateGeometry();
    update();
}

QStringList LineLimitedText::shownLines(int width) const
{
    if (m_text.isEmpty() || width <= 0)
        return {};
    // QTextLayout breaks lines at line separators, not at '\n'.
    QString text = m_text;
    text.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<QTextLine> lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(line);
    }
    layout.endLayout();

    QStringList shown;
    const bool cut = m_maxLines > 0 && lines.size() > m_maxLines;
    const qsizetype count = cut ? m_maxLines : lines.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QTextLine &line = lines.at(i);
        QString piece = text.mid(line.textStart(), line.textLength());
        if (cut && i == count - 1) {
            // The rest of the text on one line, cut short with "…".
            piece = text.mid(line.textStart());
            piece.replace(QChar::LineSeparator, u' ');
            piece = fontMetrics().elidedText(piece, Qt::ElideRight, width);
        }
        piece.remove(QChar::LineSeparator);
        shown.append(piece);
    }
    return shown;
}

int LineLimitedText::heightForWidth(int width) const
{
    return int(shownLines(width).size()) * fontMetrics().lineSpacing();
}

QSize LineLimitedText::sizeHint() const
{
    const int width = 320;
    return QSize(width, heightForWidth(width));
}

QSize LineLimitedText::minimumSizeHint() const
{
    return QSize(0, 0);
}

void LineLimitedText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const int lineHeight = fontMetrics().lineSpacing();
    int y = 0;
    for (const QString &line : shownLines(width())) {
        painter.drawText(QRect(0, y, width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight;
    }
}
