#include "ui/panels/MeEdit.h"

#include "model/TextLimits.h"
#include "model/ValueSupport.h"
#include "store/LocalStore.h"
#include "ui/common/AvatarView.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/FieldLimits.h"
#include "ui/common/ImageFile.h"
#include "ui/common/ImageShrink.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/StoreTask.h"
#include "ui/common/UiMetrics.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

// One section of the grouped form: a rounded panel in the colour of fields, set off from the
// page.
class FormSection : public QWidget
{
public:
    explicit FormSection(QWidget *parent)
        : QWidget(parent)
    {
        bareBox<QVBoxLayout>(this, 8)->setContentsMargins(12, 10, 12, 10);
    }

    QVBoxLayout *column() const { return static_cast<QVBoxLayout *>(layout()); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(0.1f);
        painter.setPen(QPen(edge, 1));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

// What the handle field makes of a typed text: lower case, one leading "@" dropped, at most 20
// characters.
QString typedHandle(const QString &text)
{
    QString handle = text.toLower();
    if (handle.startsWith(u'@'))
        handle.remove(0, 1);
    return firstGraphemes(handle, TextLimit::handleMax);
}

} // namespace

MeEdit::MeEdit(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("meEdit"), parent)
    , m_store(store)
{
    // In place of a toolbar: "닫기", the title, "완료".
    m_done = PanelParts::pushButton(QStringLiteral("완료"), QStringLiteral("done"), this);
    auto *nameSection = new FormSection(this);
    m_name = PanelParts::textField(QStringLiteral("닉네임"), QStringLiteral("name"), nameSection);
    FieldLimits::limitToGraphemes(m_name, TextLimit::displayName);
    nameSection->column()->addWidget(m_name);

    QVBoxLayout *column = pageColumn(UiMetrics::formPadding, 16);
    column->addWidget(titleBar(QStringLiteral("내 프로필"), closeButton(), m_done));
    column->addWidget(photoSection());
    column->addWidget(nameSection);
    column->addWidget(handleSection());
    column->addStretch(1);

    connect(m_name, &QLineEdit::textChanged, this, &MeEdit::edited);
    connect(m_done, &QPushButton::clicked, this, &MeEdit::save);
    PanelParts::focusWhenShown(this, m_name);

    m_redraw = new StoreRedraw(
        m_store,
        {&LocalStore::accountsChanged, &LocalStore::sessionChanged, &LocalStore::noticeChanged},
        [this] { refresh(); }, this);
    connect(&m_store, &LocalStore::noticeChanged, this, [this] {
        if (m_saving && m_store.notice())
            m_refusal = m_store.notice();
    });
    refresh();
}

// The picture with "보관함", and "파일".
QWidget *MeEdit::photoSection()
{
    auto *section = new FormSection(this);
    auto *library = new RowButton(section);
    library->setObjectName(QStringLiteral("library"));
    library->setAccessibleName(QStringLiteral("보관함"));
    m_avatar = new AvatarView(UiMetrics::avatarSize, library);
    m_avatar->setObjectName(QStringLiteral("avatar"));
    library->addPart(m_avatar);
    library->addPart(new QLabel(QStringLiteral("보관함"), library));
    library->addStretch(1);
    QPushButton *file
        = PanelParts::pushButton(QStringLiteral("파일"), QStringLiteral("file"), section);
    section->column()->addWidget(library);
    section->column()->addWidget(file, 0, Qt::AlignLeft);
    connect(library, &RowButton::clicked, this, [this] { pickPhoto(false); });
    connect(file, &QPushButton::clicked, this, [this] { pickPhoto(true); });
    return section;
}

// "@" and the handle, with the lines that explain it.
QWidget *MeEdit::handleSection()
{
    auto *section = new FormSection(this);
    QLabel *at = PanelParts::label(QStringLiteral("@"), QString(), QFont(), section,
                                   PanelParts::Ink::Secondary);
    m_handle = PanelParts::textField(QStringLiteral("아이디"), QStringLiteral("handle"), section);
    // No correction or capitals offered by an input method: a handle is typed as it is.
    m_handle->setInputMethodHints(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText
                                  | Qt::ImhPreferLowercase);
    FieldLimits::cutWhileTyping(m_handle, &typedHandle);
    auto *handleRow = bareBox<QHBoxLayout>(nullptr, 6);
    handleRow->addWidget(at);
    handleRow->addWidget(m_handle, 1);
    using PanelParts::Tone;
    m_handleOnce = PanelParts::messageLine(Tone::Plain, QStringLiteral("handleOnce"), section,
                                           handleOnceText());
    ChatColor::keepSecondary(m_handleOnce);
    m_format = PanelParts::messageLine(Tone::Failure, QStringLiteral("formatError"), section,
                                       QStringLiteral("영문 소문자, 숫자, 밑줄. 3–20자."));
    m_takenLine
        = PanelParts::messageLine(Tone::Failure, QStringLiteral("taken"), section, takenText());
    m_notice = PanelParts::messageLine(Tone::Failure, QStringLiteral("notice"), section, QString());
    section->column()->addLayout(handleRow);
    for (QLabel *line : {m_handleOnce, m_format, m_takenLine, m_notice})
        section->column()->addWidget(line);
    connect(m_handle, &QLineEdit::textChanged, this, [this] {
        m_takenLine->hide();
        m_format->hide();
        edited();
    });
    return section;
}

void MeEdit::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once, from the account as it is when the page first appears with somebody signed in;
    // later changes from elsewhere do not overwrite what the user is editing.
    if (m_ready)
        return;
    const std::optional<Account> me = m_store.me();
    if (!me)
        return;
    FieldLimits::setUncut(m_name, me->displayName);
    FieldLimits::setUncut(m_handle, me->handle);
    m_photo = me->avatarJPEG;
    m_ready = true;
    refresh();
}

bool MeEdit::canFinish() const
{
    const std::optional<Account> me = m_store.me();
    if (!me || m_saving || !isValidDisplayName(trimmedText(m_name->text())))
        return false;
    // Texts compare as the records do, canonically: the same name typed in another Unicode
    // form is no change. The name counts as typed: blanks around an unchanged name are a change.
    const bool changed = (!me->handleChanged
                          && !sameText(LocalStore::normalizedHandle(m_handle->text()), me->handle))
        || !sameText(m_name->text(), me->displayName) || m_photo != me->avatarJPEG;
    return changed && (me->handleChanged || LocalStore::isValidHandle(m_handle->text()));
}

void MeEdit::pickPhoto(bool emptyOnCancel)
{
    // "보관함" keeps the photo when nothing comes back; "파일" takes what comes back as it is,
    // so cancelling its dialog removes the photo.
    ImageFile::pick(this, ImageShrink::avatarSide,
                    [this, emptyOnCancel](std::optional<QByteArray> jpeg) {
                        if (!jpeg && !emptyOnCancel)
                            return;
                        m_photo = std::move(jpeg);
                        edited();
                    });
}

void MeEdit::edited()
{
    m_refusal.reset();
    refresh();
}

void MeEdit::save()
{
    if (!canFinish())
        return;
    m_saving = true;
    m_refusal.reset();
    refresh();
    StoreTask::whenDone(m_store.saveMe(m_name->text(), m_handle->text(), m_photo), this,
                        [this](std::optional<std::optional<ProfileSaveError>> outcome) {
                            // No outcome: the save failed and the store has said why.
                            const std::optional<ProfileSaveError> error
                                = outcome.value_or(std::nullopt);
                            m_saving = false;
                            m_takenLine->setVisible(error == ProfileSaveError::handleTaken);
                            m_format->setVisible(error == ProfileSaveError::invalidHandle);
                            refresh();
                            // Saved, with nothing to report: the page closes, but only while it is
                            // the page shown. A slow answer that comes after the user went to
                            // another page must not take them away from it.
                            if (outcome && !error && !m_refusal && !m_store.notice() && isVisible())
                                emit closeRequested();
                        });
}

void MeEdit::refresh()
{
    m_redraw->cancelPending();
    const QString name = m_name->text();
    m_avatar->setAvatar(name.isEmpty() ? QStringLiteral("?") : name, m_photo, std::nullopt);

    const std::optional<Account> me = m_store.me();
    const bool locked = me && me->handleChanged;
    m_handle->setEnabled(!locked);
    m_handleOnce->setVisible(locked);
    // With the service, its refusals come back as the notice only: they are repeated here.
    PanelParts::showMessage(m_notice, m_store.client() ? m_refusal : std::nullopt);
    m_done->setEnabled(canFinish());
}
