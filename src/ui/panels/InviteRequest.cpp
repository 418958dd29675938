#include "ui/panels/InviteRequest.h"

#include "store/LocalStore.h"
#include "ui/common/ChatFont.h"
#include "ui/common/WideButton.h"
#include "ui/panels/PanelParts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

InviteRequest::InviteRequest(LocalStore &store, const InviteOutcome &outcome, QWidget *parent)
    : PageBase(QStringLiteral("inviteRequest"), parent)
    , m_store(store)
    , m_outcome(outcome)
{
    QVBoxLayout *column = pageColumn(24, 12);
    QLabel *title = PanelParts::label(QStringLiteral("친구 요청"), QStringLiteral("title"),
                                      ChatFont::headline(), this);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);

    auto *accept = new WideButton(QStringLiteral("수락"), WideButton::Role::Normal, this);
    accept->setObjectName(QStringLiteral("accept"));
    auto *reject = new WideButton(QStringLiteral("거절"), WideButton::Role::Destructive, this);
    reject->setObjectName(QStringLiteral("reject"));
    QPushButton *close = PanelParts::plainButton(QStringLiteral("닫기"), this);
    close->setObjectName(QStringLiteral("close"));
    column->addWidget(accept);
    column->addWidget(reject);
    column->addWidget(close, 0, Qt::AlignHCenter);
    column->addStretch(1);

    // The store clears the outcome before it talks to the service, so the sheet can go at once.
    connect(accept, &WideButton::clicked, this, [this] {
        m_store.acceptInvite();
        emit closeRequested();
    });
    connect(reject, &WideButton::clicked, this, [this] {
        m_store.rejectInvite();
        emit closeRequested();
    });
    connect(close, &QPushButton::clicked, this, [this] {
        m_store.setInviteOutcome(std::nullopt);
        emit closeRequested();
    });
}
