#pragma once

#include <QWidget>

// A red capsule with the number of unread messages: the count itself up to 99, "99+" from 100.
class UnreadBadge : public QWidget
{
    Q_OBJECT
public:
    explicit UnreadBadge(int count = 0, QWidget *parent = nullptr);

    void setCount(int count);
    int count() const { return m_count; }

    // The badge's text for `count`; a negative count reads as 0.
    static QString text(int count);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // For rows painted without widgets.
    static QSize sizeFor(int count);
    static void paint(QPainter &painter, const QRect &rect, int count, const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int m_count = 0;
};
