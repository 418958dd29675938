#include "ui/common/PanelParts.h"

#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/UiMetrics.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace {

// Return and Enter press the button that has the keyboard, as Space does. Qt leaves Return to a
// dialog's default button, and a push button outside a dialog, a tool button or a button of our
// own ignores it: a keyboard user who found that rows take Return would then meet buttons that do
// not. One filter on the application serves every button of the process, those of Qt's own
// dialogs included. The press is the button's alone, so no dialog's default button fires with
// it; a key held down presses once.
class ReturnPress : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if (!button)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        // Taken whole, repeats too: left to go on, a dialog would press its default button.
        if (!key->isAutoRepeat())
            button->click();
        return true;
    }
};

// Installed as the application starts, in the program and in every test of the windows alike.
void pressButtonsOnReturn()
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->installEventFilter(new ReturnPress(app));
}
Q_COREAPP_STARTUP_FUNCTION(pressButtonsOnReturn)

// A borderless button: its text with a little room around it, shaded while hovered or pressed.
class PlainButton : public QPushButton
{
public:
    PlainButton(const QString &text, Qt::Alignment textAlign, QWidget *parent)
        : QPushButton(text, parent)
        , m_textAlign(textAlign & Qt::AlignHorizontal_Mask)
    {
        setFlat(true);
        setAutoDefault(false);
        setAttribute(Qt::WA_Hover);
        // Its text is painted in the window's text colour (below), not the button's.
        setForegroundRole(QPalette::WindowText);
        ChatColor::keepDisabledReadable(this);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        // Room on both sides of a centred text; a leading text has its room on the trailing side.
        const QFontMetrics metrics(font());
        return QSize(std::max(UiMetrics::controlHeight,
                              metrics.horizontalAdvance(text()) + 2 * PanelParts::buttonInset),
                     std::max(UiMetrics::controlHeight, metrics.height() + 12));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        m_ring = PanelParts::focusRingFor(event->reason(), m_ring);
        QPushButton::focusInEvent(event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        UiMetrics::paintButtonState(painter, *this, QRectF(rect()).adjusted(1, 4, -1, -4), m_ring);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        const int inset = PanelParts::buttonInset;
        painter.drawText(rect().adjusted(inset, 0, -inset, 0), m_textAlign | Qt::AlignVCenter,
                         text());
    }

private:
    Qt::Alignment m_textAlign;
    bool m_ring = false;
};

// See PanelParts::outsetLayout().
class OutsetLayout : public QBoxLayout
{
public:
    OutsetLayout(Qt::Orientation orientation, int leading, int trailing)
        : QBoxLayout(orientation == Qt::Horizontal ? LeftToRight : TopToBottom)
        , m_leading(leading)
        , m_trailing(trailing)
    {
        setContentsMargins(0, 0, 0, 0);
    }

    void setGeometry(const QRect &rect) override
    {
        QBoxLayout::setGeometry(rect.adjusted(-m_leading, 0, m_trailing, 0));
    }
    QSize sizeHint() const override { return narrowed(QBoxLayout::sizeHint()); }
    QSize minimumSize() const override { return narrowed(QBoxLayout::minimumSize()); }

private:
    QSize narrowed(QSize size) const
    {
        size.setWidth(std::max(0, size.width() - m_leading - m_trailing));
        return size;
    }

    int m_leading;
    int m_trailing;
};

// See PanelParts::focusWhenShown().
class FocusWhenShown : public QObject
{
public:
    FocusWhenShown(QWidget *page, QWidget *first, bool ring, QWidget *otherwise)
        : QObject(page)
        , m_page(page)
        , m_first(first)
        , m_otherwise(otherwise)
        , m_ring(ring)
    {
        page->installEventFilter(this);
        for (QWidget *target : {first, otherwise}) {
            if (target)
                target->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window restored from the task bar is no new showing: its focus comes back as it was.
        if (watched == m_page && event->type() == QEvent::Show && !event->spontaneous()) {
            const bool first = m_first && m_first->isVisibleTo(m_page);
            QWidget *target = first ? m_first.data() : m_otherwise.data();
            if (!target || !target->isVisibleTo(m_page))
                return false;
            // The stand-in is a button that nothing else on the page would show the keyboard on.
            const bool ring = first ? m_ring : true;
            m_armed = ring ? target : nullptr;
            target->setFocus(ring ? Qt::TabFocusReason : Qt::OtherFocusReason);
            return false;
        }
        // The focus arrives now, or only once the new window is activated (then for that
        // reason): either way its first arrival after the showing counts as the keyboard's.
        if (m_armed && watched == m_armed && event->type() == QEvent::FocusIn) {
            QWidget *target = m_armed;
            m_armed = nullptr;
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) {
                QFocusEvent keyboard(QEvent::FocusIn, Qt::TabFocusReason);
                QCoreApplication::sendEvent(target, &keyboard);
                return true;
            }
        }
        return false;
    }

private:
    QWidget *m_page;
    QPointer<QWidget> m_first;
    QPointer<QWidget> m_otherwise;
    bool m_ring;
    QPointer<QWidget> m_armed; // the target whose next focus counts as the keyboard's
};

} // namespace

namespace PanelParts {

void focusWhenShown(QWidget *page, QWidget *first, Ring ring)
{
    new FocusWhenShown(page, first, ring == Ring::Yes, nullptr);
}

void focusWhenShown(QWidget *page, QWidget *first, QWidget *otherwise)
{
    new FocusWhenShown(page, first, false, otherwise);
}

bool focusRingFor(Qt::FocusReason reason, bool before)
{
    switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return before;
    default:
        return false;
    }
}

QPushButton *plainButton(const QString &text, QWidget *parent, Qt::Alignment textAlign,
                         const QString &name)
{
    auto *button = new PlainButton(text, textAlign, parent);
    button->setObjectName(name);
    return button;
}

QPushButton *pushButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumHeight(UiMetrics::controlHeight);
    // Some styles leave a long title only a few pixels of room on each side.
    const int padded = button->fontMetrics().horizontalAdvance(text) + 2 * 14;
    button->setMinimumWidth(std::max(button->sizeHint().width(), padded));
    ChatColor::keepDisabledReadable(button);
    return button;
}

WideButton *wideButton(const QString &text, const QString &name, QWidget *parent,
                       WideButton::Role role)
{
    auto *button = new WideButton(text, role, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit *textField(const QString &placeholder, const QString &name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    ChatColor::keepSecondary(field, QPalette::PlaceholderText);
    ChatColor::keepDisabledReadable(field);
    field->setAccessibleName(placeholder);
    field->setMinimumHeight(32);
    return field;
}

QBoxLayout *outsetLayout(Qt::Orientation orientation, int leading, int trailing)
{
    return new OutsetLayout(orientation, leading, trailing);
}

QLabel *label(const QString &text, const QString &name, const QFont &font, QWidget *parent, Ink ink,
              Wrap wrap)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setWordWrap(wrap == Wrap::Yes);
    if (ink == Ink::Secondary)
        ChatColor::keepSecondary(label);
    return label;
}

QLabel *messageLine(Tone tone, const QString &name, QWidget *parent, const QString &text)
{
    // Wrapped, so that a long service message wraps inside the column instead of widening it.
    QLabel *line = label(text, name, ChatFont::footnote(), parent, Ink::Normal, Wrap::Yes);
    if (tone == Tone::Failure)
        ChatColor::keepAlert(line, QPalette::WindowText);
    line->hide();
    return line;
}

void showMessage(QLabel *line, const std::optional<QString> &text)
{
    line->setText(text.value_or(QString()));
    line->setVisible(text.has_value());
}

} // namespace PanelParts

RowButton::RowButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_row(bareBox<QHBoxLayout>(this, 12))
{
    setAttribute(Qt::WA_Hover);
    setPressable(true);
}

void RowButton::addPart(QWidget *part, int stretch)
{
    part->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_row->addWidget(part, stretch);
}

void RowButton::addStretch(int stretch)
{
    m_row->addStretch(stretch);
}

void RowButton::setLeadingRoom(int width)
{
    m_row->setContentsMargins(width, 0, 0, 0);
}

void RowButton::setPressable(bool pressable)
{
    m_pressable = pressable;
    setFocusPolicy(pressable ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(pressable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

bool RowButton::hitButton(const QPoint &pos) const
{
    return m_pressable && rect().contains(pos);
}

void RowButton::focusInEvent(QFocusEvent *event)
{
    m_ring = PanelParts::focusRingFor(event->reason(), m_ring);
    QAbstractButton::focusInEvent(event);
}

void RowButton::paintEvent(QPaintEvent *)
{
    const bool ring = hasFocus() && m_ring;
    if (!m_pressable || !(underMouse() || ring || isDown()))
        return;
    // Focus is a ring, not a fill: a filled row would read as the chosen one.
    QPainter painter(this);
    UiMetrics::paintButtonState(painter, *this, QRectF(rect()).adjusted(1, 1, -1, -1), ring);
}
