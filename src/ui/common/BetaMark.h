#pragma once

#include <QWidget>

// The small "Beta" capsule after the program's title in the sidebar.
class BetaMark : public QWidget
{
    Q_OBJECT
public:
    explicit BetaMark(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
};
