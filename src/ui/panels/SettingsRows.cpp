#include "ui/panels/SettingsRows.h"

#include "ui/common/AccessibleActions.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/UiMetrics.h"

#include <QBoxLayout>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int rowPadding = 14;
constexpr int cornerRadius = 10;
constexpr QSize switchSize(38, 22);

// What the two rows share: a text, keyboard focus, hover shading and the row's size.
class SettingsRow : public QAbstractButton
{
public:
    SettingsRow(const QString &text, const QString &name)
    {
        setText(text);
        setObjectName(name);
        setAccessibleName(text);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(ChatFont::body());
        return QSize(metrics.horizontalAdvance(text()) + 2 * rowPadding + switchSize.width() + 16,
                     std::max(UiMetrics::controlHeight, metrics.height() + 20));
    }

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        m_ring = PanelParts::focusRingFor(event->reason(), m_ring);
        QAbstractButton::focusInEvent(event);
    }

    // The shade, the row's face, then the ring of keyboard focus over them.
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        UiMetrics::paintButtonState(painter, *this, rect(), UiMetrics::FocusMark::none, 0);
        painter.setFont(ChatFont::body());
        paintFace(painter);
        if (!m_ring)
            return;
        painter.setOpacity(1.0);
        UiMetrics::paintFocusRing(painter, *this, QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5),
                                  UiMetrics::plateRadius, 2);
    }

    virtual void paintFace(QPainter &painter) const = 0;

private:
    bool m_ring = false; // the focus came from the keyboard
};

class SwitchRow : public SettingsRow
{
public:
    SwitchRow(const QString &text, const QString &name)
        : SettingsRow(text, name)
    {
        setCheckable(true);
        AccessibleActions::clickToToggle(this);
    }

protected:
    void nextCheckState() override { }

    void paintFace(QPainter &painter) const override
    {
        // A disabled switch keeps showing its value, faded once (the active colours under an
        // opacity: the disabled colours would fade it twice).
        painter.setOpacity(isEnabled() ? 1.0 : 0.45);
        const QColor ink = palette().color(QPalette::Active, QPalette::WindowText);

        const QRect track(width() - rowPadding - switchSize.width(),
                          (height() - switchSize.height()) / 2, switchSize.width(),
                          switchSize.height());
        painter.setPen(ink);
        painter.drawText(QRect(rowPadding, 0, track.left() - 2 * rowPadding, height()),
                         Qt::AlignVCenter | Qt::AlignLeft, text());

        QColor off = ink;
        off.setAlphaF(0.25f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(isChecked() ? palette().color(QPalette::Active, QPalette::Highlight)
                                     : off);
        painter.drawRoundedRect(track, track.height() / 2.0, track.height() / 2.0);
        const qreal knob = track.height() - 4;
        const qreal x = isChecked() ? track.right() + 1 - 2 - knob : track.left() + 2;
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    }
};

class ActionRow : public SettingsRow
{
public:
    ActionRow(const QString &text, const QString &name, bool destructive)
        : SettingsRow(text, name)
        , m_destructive(destructive)
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintFace(QPainter &painter) const override
    {
        painter.setPen(m_destructive ? ChatColor::alert(palette())
                                     : palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(rowPadding, 0, -rowPadding, 0),
                         Qt::AlignVCenter | Qt::AlignLeft, text());
    }

private:
    bool m_destructive;
};

} // namespace

SettingsGroup::SettingsGroup(QWidget *parent)
    : QWidget(parent)
{
    bareBox<QVBoxLayout>(this);
}

void SettingsGroup::addRow(QWidget *row)
{
    layout()->addWidget(row);
}

QAbstractButton *SettingsGroup::addSwitch(const QString &text, const QString &name,
                                          std::function<void(bool)> flip)
{
    auto *row = new SwitchRow(text, name);
    addRow(row);
    connect(row, &QAbstractButton::clicked, row,
            [row, flip = std::move(flip)] { flip(!row->isChecked()); });
    return row;
}

QAbstractButton *SettingsGroup::addAction(const QString &text, const QString &name,
                                          bool destructive, std::function<void()> action)
{
    auto *row = new ActionRow(text, name, destructive);
    addRow(row);
    connect(row, &QAbstractButton::clicked, row, std::move(action));
    return row;
}

void SettingsGroup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, palette().color(QPalette::Base));
    QColor hairline = palette().color(QPalette::WindowText);
    hairline.setAlphaF(0.12f);
    painter.setPen(QPen(hairline, 1));
    painter.drawPath(shape);

    // A hairline between each two visible rows, inset like the rows' text.
    QWidget *previous = nullptr;
    for (int i = 0; i < layout()->count(); ++i) {
        QWidget *row = layout()->itemAt(i)->widget();
        if (!row || row->isHidden())
            continue;
        if (previous) {
            const qreal y = row->geometry().top() + 0.5;
            painter.drawLine(QPointF(rowPadding, y), QPointF(width() - rowPadding, y));
        }
        previous = row;
    }
}
