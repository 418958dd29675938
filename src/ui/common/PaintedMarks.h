#pragma once

#include <QWidget>

// A small mark painted beside a title or a name. Keeps its ideal size and is never squeezed;
// QWidget itself repaints it when the palette changes and asks for a new size when the font does.
class PaintedMark : public QWidget
{
    Q_OBJECT
public:
    // `name` is what a screen reader says for the mark.
    explicit PaintedMark(const QString &name, QWidget *parent = nullptr);

    QSize minimumSizeHint() const override { return sizeHint(); }
};

// The small "Beta" capsule after the program's title in the sidebar.
class BetaMark : public PaintedMark
{
    Q_OBJECT
public:
    explicit BetaMark(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// "공식" after an official account's name: footnote size, in ChatColor::officialMark.
class OfficialMark : public PaintedMark
{
    Q_OBJECT
public:
    explicit OfficialMark(QWidget *parent = nullptr);

    static QString text() { return QStringLiteral("공식"); }

    QSize sizeHint() const override { return sizeFor(); }

    // For rows painted without widgets.
    static QSize sizeFor();
    static void paint(QPainter &painter, const QRect &rect, const QPalette &palette);
    // The same in a given colour, for rows whose highlight the accent would not read on.
    static void paint(QPainter &painter, const QRect &rect, const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A red capsule with the number of unread messages: the count itself up to 99, "99+" from 100.
class UnreadBadge : public PaintedMark
{
    Q_OBJECT
public:
    explicit UnreadBadge(int count = 0, QWidget *parent = nullptr);

    void setCount(int count);

    // The badge's text for `count`; a negative count reads as 0.
    static QString text(int count);

    QSize sizeHint() const override { return sizeFor(m_count); }

    // For rows painted without widgets.
    static QSize sizeFor(int count);
    static void paint(QPainter &painter, const QRect &rect, int count, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_count = 0;
};
