#include "ui/workspace/Composer.h"

#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/DisplayText.h"
#include "ui/common/ImageFile.h"
#include "ui/common/ImageShrink.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/RoomView.h"

#include <QAbstractTextDocumentLayout>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

// One line of text, shortened with "…" to the width it gets.
class ComposerLine : public QWidget
{
public:
    ComposerLine(const QFont &font, QWidget *parent, bool accent = false)
        : QWidget(parent)
        , m_accent(accent)
    {
        setFont(font);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    void setText(const QString &text)
    {
        m_text = text;
        setAccessibleName(text);
        update();
    }

    QSize sizeHint() const override { return {0, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(m_accent ? ChatColor::officialMark(palette())
                                : palette().color(QPalette::WindowText));
        // Only the first line shows; a cut-off rest is marked like a shortened line.
        QString line = m_text.section(QLatin1Char('\n'), 0, 0);
        if (line.size() < m_text.size())
            line += QChar(0x2026);
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(line, Qt::ElideRight, width()));
    }

private:
    QString m_text;
    bool m_accent;
};

// The attached photo: 56 × 56, cropped to fill, with rounded corners.
class ComposerPhoto : public QWidget
{
public:
    static constexpr int side = 56;

    explicit ComposerPhoto(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(side, side);
        setAccessibleName(QStringLiteral("사진"));
        connect(DecodedImageCache::shared(), &DecodedImageCache::ready, this,
                [this](const QSet<QString> &pictures) {
                    if (DecodedImageCache::shared()->concerns(pictures, m_jpeg))
                        update();
                });
    }

    void setData(const QByteArray &jpeg)
    {
        m_jpeg = jpeg;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QPixmap picture
            = DecodedImageCache::shared()->pixmap(m_jpeg, size(), devicePixelRatioF());
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), 8, 8);
        painter.setClipPath(clip);
        if (picture.isNull())
            painter.fillPath(clip, ChatColor::theirsBubble(palette()));
        else
            painter.drawPixmap(rect(), picture);
    }

private:
    QByteArray m_jpeg;
};

namespace {

// The field's rounded box in the control background colour, with a hairline edge: many dark
// palettes give controls nearly the colour of the bar around them. While the field has the
// keyboard, the box wears the window's focus ring: a caret alone is hard to find.
class FieldBox : public QWidget
{
public:
    FieldBox(QWidget *field, QWidget *parent)
        : QWidget(parent)
        , m_field(field)
    {
        field->setParent(this);
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_field
            && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            update();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Divider::colour(palette()), 1));
        painter.setBrush(palette().color(QPalette::Base));
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = std::min<qreal>(18, box.height() / 2);
        painter.drawRoundedRect(box, radius, radius);
        UiMetrics::paintFocusRing(painter, *m_field, box, radius, 2);
    }

private:
    QWidget *m_field;
};

// The text field's insets.
constexpr int insetX = 2;
constexpr int insetY = 6;
// The text, and with it the placeholder, starts this far inside the field's leading edge.
constexpr int leading = 8;
// Measured without a width, the field asks for this much.
constexpr int naturalWidth = 240;

// The notice for a room that cannot be written to.
QString blockText(ComposeBlock block)
{
    switch (block) {
    case ComposeBlock::blocked:
        return QStringLiteral("차단한 사용자");
    case ComposeBlock::peerGone:
        return QStringLiteral("대화를 이어갈 수 없음");
    case ComposeBlock::leftGroup:
        return QStringLiteral("나간 대화방");
    case ComposeBlock::inboxClosed:
        return kClosedInboxText;
    }
    return {};
}

} // namespace

Composer::Composer(LocalStore &store, RoomState &room, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_room(room)
    , m_notice(PanelParts::label({}, QStringLiteral("composeNotice"), ChatFont::subheadline(), this,
                                 PanelParts::Ink::Secondary))
    , m_editor(new QWidget(this))
    , m_replyBar(new QWidget(m_editor))
    , m_replyPreview(new ComposerLine(ChatFont::footnote(), m_replyBar))
    , m_photoBar(new QWidget(m_editor))
    , m_photo(new ComposerPhoto(m_photoBar))
    , m_field(new ComposerField)
    , m_sendButton(ChatIcon::button(QStringLiteral("arrow.up.circle.fill"),
                                    QStringLiteral("보내기"), 22, m_editor))
{
    setObjectName(QStringLiteral("composer"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    m_notice->setMinimumHeight(UiMetrics::controlHeight);
    m_notice->setContentsMargins(16, 0, 16, 0);
    m_notice->setAlignment(Qt::AlignCenter);
    // One of the two shows at a time; the strip is as tall as the one shown.
    auto *strip = bareBox<QVBoxLayout>(this);
    strip->addWidget(m_notice);
    strip->addWidget(m_editor);

    auto *editor = bareBox<QVBoxLayout>(m_editor);
    editor->addWidget(replyBar());
    editor->addWidget(photoBar());
    editor->addLayout(inputRow());
    connect(&m_room, &RoomState::draftChanged, this, &Composer::followContent);
    connect(&m_room, &RoomState::imageChanged, this, &Composer::followContent);
    connect(&m_room, &RoomState::replyChanged, this, &Composer::followReply);
    // "답장" is chosen from a menu: the answer is typed next, so the field takes the keys then,
    // and at no other change of the reply or the store.
    connect(&m_room, &RoomState::replyChosen, this, &Composer::takeKeyboard);

    // Whether the room may be written to, and the answered message's preview, follow the
    // store once per event-loop turn.
    new StoreRedraw(
        m_store,
        {&LocalStore::conversationsChanged, &LocalStore::accountsChanged,
         &LocalStore::blocksChanged, &LocalStore::sessionChanged, &LocalStore::messagesChanged},
        [this] {
            followBlock();
            followReply();
        },
        this);

    followBlock();
    followContent();
    followReply();
}

QWidget *Composer::replyBar()
{
    m_replyBar->setObjectName(QStringLiteral("replyBar"));
    auto *reply = new QHBoxLayout(m_replyBar);
    reply->setContentsMargins(16, 0, 16, 0);
    reply->setSpacing(8);
    auto *replyText = bareBox<QVBoxLayout>(nullptr, 2);
    auto *replyTitle = new ComposerLine(ChatFont::footnote(), m_replyBar, true);
    replyTitle->setText(QStringLiteral("답장"));
    m_replyPreview->setObjectName(QStringLiteral("replyPreview"));
    replyText->addWidget(replyTitle);
    replyText->addWidget(m_replyPreview);
    reply->addLayout(replyText, 1);
    QPushButton *cancelReply = PanelParts::plainButton(
        QStringLiteral("취소"), m_replyBar, Qt::AlignHCenter, QStringLiteral("cancelReply"));
    reply->addWidget(cancelReply);

    connect(cancelReply, &QPushButton::clicked, this, [this] { m_room.setReply(std::nullopt); });
    return m_replyBar;
}

QWidget *Composer::photoBar()
{
    m_photoBar->setObjectName(QStringLiteral("photoBar"));
    auto *photo = new QHBoxLayout(m_photoBar);
    photo->setContentsMargins(16, 0, 16, 0);
    photo->addWidget(m_photo);
    QPushButton *removePhoto = PanelParts::plainButton(
        QStringLiteral("제거"), m_photoBar, Qt::AlignHCenter, QStringLiteral("removePhoto"));
    photo->addWidget(removePhoto);
    photo->addStretch(1);

    connect(removePhoto, &QPushButton::clicked, this, [this] { m_room.setImage(std::nullopt); });
    return m_photoBar;
}

QLayout *Composer::inputRow()
{
    // Input row, its items sitting on the bottom edge as the field grows.
    auto *row = new QHBoxLayout;
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(4);
    QToolButton *photoButton
        = ChatIcon::button(QStringLiteral("photo"), QStringLiteral("보관함"), 22, m_editor);
    photoButton->setObjectName(QStringLiteral("photoButton"));
    row->addWidget(photoButton, 0, Qt::AlignBottom);
    auto *box = new FieldBox(m_field, m_editor);
    auto *boxLayout = new QHBoxLayout(box);
    boxLayout->setContentsMargins(8, 0, 8, 0);
    boxLayout->addWidget(m_field);
    row->addWidget(box, 1, Qt::AlignBottom);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    m_sendButton->setIconSize(QSize(26, 26));
    row->addWidget(m_sendButton, 0, Qt::AlignBottom);

    connect(photoButton, &QToolButton::clicked, this, &Composer::pickPhoto);
    connect(m_sendButton, &QToolButton::clicked, this, &Composer::submit);

    connect(m_field, &ComposerField::edited, this, [this](const QString &text) {
        m_room.setDraft(text);
        m_store.noteTyping(m_room.conversationId(), !text.trimmed().isEmpty());
    });
    connect(m_field, &ComposerField::submitted, this, &Composer::submit);
    connect(m_field, &ComposerField::focused, &m_room, &RoomState::bumpBottomPin);
    m_field->installEventFilter(this);
    return row;
}

QString Composer::notice() const
{
    return m_notice->isVisibleTo(this) ? m_notice->text() : QString();
}

bool Composer::canSend() const
{
    return m_room.image().has_value() || !m_room.draft().trimmed().isEmpty();
}

void Composer::submit()
{
    // "보내기" clicked, or Return, while a syllable is still being composed sends it too.
    m_field->finishComposition();
    if (!canSend())
        return;
    m_room.bumpBottomPin();
    const QUuid roomId = m_room.conversationId();
    const auto reply = m_room.reply();
    const std::optional<QUuid> replyTo = reply ? std::optional(reply->id) : std::nullopt;
    // The store trims, cuts and refuses; the composer empties itself whatever it decides.
    if (const auto image = m_room.image())
        m_store.sendImage(roomId, *image, m_room.draft(), replyTo);
    else
        m_store.sendText(roomId, m_room.draft(), replyTo);
    m_room.setDraft(QString());
    m_room.setImage(std::nullopt);
    m_room.setReply(std::nullopt);
}

void Composer::takeKeyboard()
{
    if (m_field->isVisible())
        m_field->setFocus(Qt::OtherFocusReason);
}

bool Composer::eventFilter(QObject *watched, QEvent *event)
{
    // Escape in the field drops the reply, or else the attached photo; with neither it goes on
    // to the window. While a syllable is being composed it belongs to the input method.
    if (watched == m_field && event->type() == QEvent::KeyPress && m_field->composing().isEmpty()
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape
        && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        if (m_room.reply()) {
            m_room.setReply(std::nullopt);
            return true;
        }
        if (m_room.image()) {
            m_room.setImage(std::nullopt);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Composer::pickPhoto()
{
    // The dialog belongs to this composer: no answer comes after the composer has gone.
    ImageFile::pick(this, ImageShrink::messageSide, [this](std::optional<QByteArray> jpeg) {
        if (!jpeg)
            return; // cancelled, or a file that could not be read: nothing changes
        m_room.setImage(*jpeg);
    });
}

void Composer::followBlock()
{
    const auto block = m_store.composeBlock(m_room.conversationId());
    if (block)
        m_notice->setText(blockText(*block));
    m_notice->setVisible(block.has_value());
    m_editor->setVisible(!block);
}

// The field, the attached photo and "보내기" follow the draft and the photo.
void Composer::followContent()
{
    m_field->setDraft(m_room.draft());
    const auto image = m_room.image();
    m_photo->setData(image.value_or(QByteArray()));
    m_photoBar->setVisible(image.has_value());
    m_sendButton->setVisible(canSend());
}

void Composer::followReply()
{
    const auto reply = m_room.reply();
    m_replyBar->setVisible(reply.has_value());
    if (reply)
        m_replyPreview->setText(DisplayText::isolated(m_store.replyPreview(reply->id)));
}

void Composer::paintEvent(QPaintEvent *)
{
    // A bar a shade off the window colour, as the strip under the transcript.
    QPainter(this).fillRect(rect(),
                            ChatColor::mix(palette().color(QPalette::WindowText),
                                           palette().color(QPalette::Window),
                                           ChatColor::isDark(palette()) ? 0.06 : 0.035));
}

ComposerField::ComposerField(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("composerField"));
    setPlaceholderText(QStringLiteral("메시지"));
    ChatColor::keepSecondary(this, QPalette::PlaceholderText);
    setFont(ChatFont::body());
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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

QSize ComposerField::sizeHint() const
{
    // The plain-text view counts a line as visible only with one pixel to spare below it.
    return {naturalWidth, std::clamp(textHeight() + 1 + 2 * insetY, shortest, tallest)};
}

void ComposerField::fitHeight()
{
    const int height = sizeHint().height();
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
