#pragma once

#include <QWidget>

// "공식" after an official account's name: footnote size, in ChatColor::officialMark. Keeps its
// ideal size and is never squeezed.
class OfficialMark : public QWidget
{
    Q_OBJECT
public:
    explicit OfficialMark(QWidget *parent = nullptr);

    static QString text();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // For rows painted without widgets.
    static QSize sizeFor();
    static void paint(QPainter &painter, const QRect &rect, const QPalette &palette);
    // The same in a given colour, for rows whose highlight the accent would not read on.
    static void paint(QPainter &painter, const QRect &rect, const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
};
