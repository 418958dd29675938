#include "ui/common/PersonLabel.h"

#include "ui/common/AvatarView.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/UiMetrics.h"

#include <QBoxLayout>
#include <QPainter>
#include <QStyle>

#include <algorithm>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QSize full = sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const int least = metrics.horizontalAdvance(QChar(0x2026)) + 2 * metrics.averageCharWidth();
    return QSize(std::min(full.width(), least), full.height());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

PersonLabel::PersonLabel(QWidget *parent)
    : QWidget(parent)
    , m_avatar(new AvatarView(UiMetrics::avatarSize, this))
    , m_name(new ElidedLabel(this))
    , m_mark(new OfficialMark(this))
    , m_handle(new ElidedLabel(this))
{
    // The enclosing button or row gets every click.
    setAttribute(Qt::WA_TransparentForMouseEvents);

    m_name->setObjectName(QStringLiteral("name"));
    m_name->setFont(ChatFont::body());
    m_handle->setObjectName(QStringLiteral("handle"));
    m_handle->setFont(ChatFont::subheadline());
    ChatColor::keepSecondary(m_handle);

    auto *nameRow = bareBox<QHBoxLayout>(nullptr, 6);
    nameRow->addWidget(m_name);
    nameRow->addWidget(m_mark);
    nameRow->addStretch(1);

    auto *texts = bareBox<QVBoxLayout>(nullptr, 2);
    texts->addStretch(1);
    texts->addLayout(nameRow);
    texts->addWidget(m_handle);
    texts->addStretch(1);

    auto *row = bareBox<QHBoxLayout>(this, 12);
    row->addWidget(m_avatar, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);

    m_mark->hide();
    m_handle->hide();
}

PersonLabel::PersonLabel(const QString &name, const QString &handle,
                         const std::optional<QByteArray> &jpeg,
                         const std::optional<QString> &remoteURL, bool official, QWidget *parent)
    : PersonLabel(parent)
{
    setPerson(name, handle, jpeg, remoteURL, official);
}

void PersonLabel::setPerson(const QString &name, const QString &handle,
                            const std::optional<QByteArray> &jpeg,
                            const std::optional<QString> &remoteURL, bool official)
{
    m_avatar->setAvatar(name, jpeg, remoteURL);
    m_name->setText(DisplayText::name(name));
    m_mark->setVisible(official);
    m_handle->setText(handle.isEmpty() ? QString() : QStringLiteral("@") + handle);
    m_handle->setVisible(!handle.isEmpty());
    setAccessibleName(spokenText(name, handle, official));
}

QString PersonLabel::spokenText(const QString &name, const QString &handle, bool official)
{
    QString spoken = DisplayText::name(name);
    if (official)
        spoken += QStringLiteral(", ") + OfficialMark::text();
    if (!handle.isEmpty())
        spoken += QStringLiteral(", @") + handle;
    return spoken;
}
