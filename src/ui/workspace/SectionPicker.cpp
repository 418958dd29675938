#include "ui/workspace/SectionPicker.h"

#include "ui/common/AccessibleActions.h"
#include "ui/common/ChatFont.h"
#include "ui/common/UiMetrics.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int trackPadding = 3;
constexpr int radius = 8;

// One segment: its label, on a raised plate while it is the chosen one. It never checks itself:
// a click, Space or a screen reader's action only picks it, and the picker shows the section
// the navigation then holds.
class Segment : public QAbstractButton
{
public:
    Segment(const QString &text, QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(text);
        setAccessibleName(text);
        setCheckable(true);
        AccessibleActions::clickToToggle(this, QAccessible::RadioButton);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        return QSize(QFontMetrics(ChatFont::body()).horizontalAdvance(text()) + 24,
                     UiMetrics::controlHeight - 2 * trackPadding);
    }
    QSize minimumSizeHint() const override { return QSize(0, sizeHint().height()); }

protected:
    void nextCheckState() override { }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &p = palette();
        if (isChecked()) {
            QPainterPath plate;
            plate.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius - 2,
                                 radius - 2);
            painter.fillPath(plate, p.color(QPalette::Base));
            QColor edge = p.color(QPalette::WindowText);
            edge.setAlphaF(0.12f);
            painter.setPen(QPen(edge, 1));
            painter.drawPath(plate);
        } else if (underMouse()) {
            QPainterPath plate;
            plate.addRoundedRect(QRectF(rect()), radius - 2, radius - 2);
            painter.fillPath(plate, UiMetrics::shade(p, UiMetrics::Shade::hover));
        }
        if (hasFocus() && m_keyboardFocus) {
            painter.setPen(UiMetrics::focusRing(p));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius - 2, radius - 2);
        }
        const QFont font = ChatFont::body(isChecked() ? QFont::DemiBold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(p.color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                         QFontMetrics(font).elidedText(text(), Qt::ElideRight, width() - 4));
    }

    // The focus ring is for the keyboard; a click or the window's first focus shows none.
    void focusInEvent(QFocusEvent *event) override
    {
        m_keyboardFocus = event->reason() == Qt::TabFocusReason
            || event->reason() == Qt::BacktabFocusReason
            || event->reason() == Qt::ShortcutFocusReason;
        QAbstractButton::focusInEvent(event);
    }

private:
    bool m_keyboardFocus = false;
};

} // namespace

SectionPicker::SectionPicker(QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setAccessibleName(QStringLiteral("대화 또는 친구"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(trackPadding, trackPadding, trackPadding, trackPadding);
    layout->setSpacing(trackPadding);
    m_group->setExclusive(true);
    for (Section section : {Section::chats, Section::friends}) {
        auto *segment = new Segment(rawText(section), this);
        m_group->addButton(segment, int(section));
        layout->addWidget(segment);
    }
    m_group->button(int(m_section))->setChecked(true);
    // What the picker shows changes only through setSection(), from the navigation.
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { emit picked(Section(id)); });
}

void SectionPicker::setSection(Section section)
{
    m_section = section;
    m_group->button(int(section))->setChecked(true);
}

QAbstractButton *SectionPicker::segment(Section section) const
{
    return m_group->button(int(section));
}

void SectionPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), radius, radius);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.08f);
    painter.fillPath(track, fill);
}
