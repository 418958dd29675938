#include "ui/workspace/ComposerField.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QAbstractTextDocumentLayout>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <cmath>

namespace {

constexpr int insetX = 2;
constexpr int insetY = 6;
// The text, and with it the placeholder, starts this far inside the field's leading edge.
constexpr int leading = 8;
// Measured without a width, the field asks for this much.
constexpr int naturalWidth = 240;

} // namespace

ComposerField::ComposerField(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("composerField"));
    setPlaceholderText(QStringLiteral("메시지"));
    ChatColor::keepSecondary(this, QPalette::PlaceholderText);
    setFont(ChatFont::body());
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(0);
    setViewportMargins(leading, insetY, insetX, insetY);
    // The rounded box behind the field is its background.
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    setPalette(clear);
    viewport()->setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(placeholderText());
    // A message has no use for tab characters; Tab leaves the field as everywhere else.
    setTabChangesFocus(true);

    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        fitHeight();
        if (!m_settingDraft)
            emit edited(toPlainText());
    });
    fitHeight();
}

void ComposerField::setDraft(const QString &text)
{
    if (text == toPlainText())
        return;
    m_settingDraft = true;
    setPlainText(text);
    moveCursor(QTextCursor::End);
    m_settingDraft = false;
}

int ComposerField::textHeight() const
{
    // Plain-text layout: every block knows its own height once laid out at the current width.
    const QAbstractTextDocumentLayout *layout = document()->documentLayout();
    qreal height = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        height += layout->blockBoundingRect(block).height();
        if (height > tallest)
            break;
    }
    return int(std::ceil(height));
}

int ComposerField::idealHeight() const
{
    // The plain-text view counts a line as visible only with one pixel to spare below it.
    return std::clamp(textHeight() + 1 + 2 * insetY, shortest, tallest);
}

QSize ComposerField::sizeHint() const
{
    return {naturalWidth, idealHeight()};
}

QSize ComposerField::minimumSizeHint() const
{
    return {0, shortest};
}

void ComposerField::fitHeight()
{
    const int height = idealHeight();
    // A text shorter than the field sits in its middle, where the placeholder is too.
    const int spare = std::max(0, height - textHeight() - 1 - 2 * insetY);
    const QMargins margins(leading, insetY + (spare + 1) / 2, insetX, insetY + spare / 2);
    if (viewportMargins() != margins)
        setViewportMargins(margins);
    if (minimumHeight() != height || maximumHeight() != height)
        setFixedHeight(height);
}

void ComposerField::finishComposition()
{
    if (m_preedit.isEmpty())
        return;
    const QString syllable = std::exchange(m_preedit, QString());
    QInputMethodEvent commit;
    commit.setCommitString(syllable);
    QPlainTextEdit::inputMethodEvent(&commit);
    // QInputMethod::commit() is not enough: the engine keeps the syllable and commits it again
    // on the reset that follows, into the field the send has just emptied.
    m_lateCommit = syllable;
    if (hasFocus())
        QGuiApplication::inputMethod()->reset();
}

void ComposerField::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_lateCommit) {
        const QString commit = event->commitString();
        if (event->preeditString().isEmpty() && commit == *m_lateCommit) {
            m_lateCommit.reset();
            event->accept();
            return;
        }
        // Anything newly composed or committed means the engine has moved on.
        if (!event->preeditString().isEmpty() || !commit.isEmpty())
            m_lateCommit.reset();
    }
    m_preedit = event->preeditString();
    QPlainTextEdit::inputMethodEvent(event);
}

void ComposerField::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty())
        m_lateCommit.reset();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->modifiers() & Qt::ShiftModifier)
            insertPlainText(QStringLiteral("\n"));
        else
            emit submitted();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ComposerField::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    // The window coming back to the front, or a menu closing, is no new start of writing; nor is
    // the program handing the field the keyboard ("답장"), which must not move a reader who is
    // reading history.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
        && reason != Qt::OtherFocusReason)
        emit focused();
}

void ComposerField::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    // A new width wraps the text anew.
    fitHeight();
}

void ComposerField::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationFontChange) {
        setFont(ChatFont::body());
        fitHeight();
    }
    QPlainTextEdit::changeEvent(event);
}
