#include "ui/panels/InvitePanel.h"

#include "store/LocalStore.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreTask.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

// Whether `link` reads as a URL at all; a link that does not is still shown and copied, but
// offered to no other program.
bool parsesAsUrl(const QString &link)
{
    return !link.isEmpty() && QUrl(link, QUrl::StrictMode).isValid();
}

// The new mail that "공유" opens: no recipient, the link as its body.
QUrl mailUrl(const QString &link)
{
    QUrl mail(QStringLiteral("mailto:"));
    // Fully encoded, so that "&", "=" or "#" in a link cannot end the body early.
    mail.setQuery(QStringLiteral("body=") + QString::fromLatin1(QUrl::toPercentEncoding(link)));
    return mail;
}

} // namespace

InvitePanel::InvitePanel(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("invitePanel"), parent)
    , m_store(store)
{
    QVBoxLayout *column = formColumn(16, this, 520);
    QWidget *holder = column->parentWidget();

    QBoxLayout *header = PanelParts::outsetLayout(Qt::Horizontal, 0, PanelParts::buttonInset);
    header->addWidget(formTitle(QStringLiteral("친구 초대"), holder));
    header->addStretch(1);
    header->addWidget(closeButton(Qt::AlignRight));
    column->addLayout(header);
    closeOnEscape();

    column->addWidget(PanelParts::label(
        QStringLiteral("링크를 연 사람이 나에게 친구 요청을 보냅니다."), QString(),
        ChatFont::body(), holder, PanelParts::Ink::Normal, PanelParts::Wrap::Yes));

    m_linkLabel = PanelParts::label(QString(), QStringLiteral("link"), ChatFont::subheadline(),
                                    holder, PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_linkLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(m_linkLabel);

    m_noteLabel = PanelParts::label(QString(), QStringLiteral("note"), ChatFont::subheadline(),
                                    holder, PanelParts::Ink::Secondary);
    m_noteLabel->hide();
    column->addWidget(m_noteLabel);

    m_copy = PanelParts::wideButton(QStringLiteral("복사"), QStringLiteral("copy"), holder);
    column->addWidget(m_copy);

    m_share = PanelParts::pushButton(QStringLiteral("공유"), QStringLiteral("share"), holder);
    m_share->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    column->addWidget(m_share);

    WideButton *renew
        = PanelParts::wideButton(QStringLiteral("새로 만들기"), QStringLiteral("rotate"), holder);
    column->addWidget(renew);

    connect(m_copy, &WideButton::clicked, this, &InvitePanel::copyLink);
    connect(m_share, &QPushButton::clicked, this, [this] {
        if (!parsesAsUrl(m_link))
            return;
        copyLink();
        QDesktopServices::openUrl(mailUrl(m_link));
    });
    connect(renew, &WideButton::clicked, this, [this] {
        confirm(QStringLiteral("이전 링크는 바로 사용할 수 없게 됩니다."),
                QStringLiteral("새로 만들기"), false, [this] { rotate(); });
    });

    present(QString());
    StoreTask::whenDone(m_store.inviteURL(), this, std::nullopt,
                        [this](std::optional<QString> link) { present(link.value_or(QString())); });
}

void InvitePanel::present(const QString &link)
{
    m_link = link;
    // A blank keeps the line's height while there is no link yet.
    m_linkLabel->setText(link.isEmpty() ? QStringLiteral(" ") : link);
    m_copy->setDisabled(link.isEmpty());
    m_share->setVisible(parsesAsUrl(link));
}

void InvitePanel::copyLink()
{
    if (m_link.isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_link);
    PanelParts::showMessage(m_noteLabel, copiedText());
}

void InvitePanel::rotate()
{
    // No busy state: a second rotation may start before the first answers, and the link that
    // answers last is the one shown. A failure was reported by the store; the old link stays.
    StoreTask::whenDone(m_store.rotateInvite(), this, std::nullopt,
                        [this](std::optional<QString> link) {
                            if (!link)
                                return;
                            present(*link);
                            PanelParts::showMessage(m_noteLabel, std::nullopt);
                        });
}
