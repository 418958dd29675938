#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QPainter;

// The busy ring: a faint track with a turning arc, at most 20 pixels across, centred in `area`.
// `elapsedMs` since the turning began sets the arc's angle (one turn in 0.9 s).
void paintSpinner(QPainter &painter, const QRectF &area, const QColor &color, qint64 elapsedMs);
// The pause between two frames of the turning ring.
inline constexpr int kSpinnerFrameMs = 33;

// The busy ring as a widget of its own, in the text colour; it turns only while shown.
class Spinner : public QWidget
{
    Q_OBJECT
public:
    explicit Spinner(QWidget *parent = nullptr);

    QSize sizeHint() const override { return {28, 28}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer m_spin;
    QElapsedTimer m_clock;
};
