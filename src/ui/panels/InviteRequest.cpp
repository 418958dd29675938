#include "ui/panels/InviteRequest.h"

#include "store/LocalStore.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <functional>

InviteRequest::InviteRequest(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("inviteRequest"), parent)
{
    QVBoxLayout *column = pageColumn(24, 12);
    QLabel *title = PanelParts::label(QStringLiteral("친구 요청"), QStringLiteral("title"),
                                      ChatFont::headline(), this);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);

    WideButton *accept
        = PanelParts::wideButton(QStringLiteral("수락"), QStringLiteral("accept"), this);
    WideButton *reject = PanelParts::wideButton(QStringLiteral("거절"), QStringLiteral("reject"),
                                                this, WideButton::Role::Destructive);
    QPushButton *close = PanelParts::plainButton(QStringLiteral("닫기"), this, Qt::AlignHCenter,
                                                 QStringLiteral("close"));
    column->addWidget(accept);
    column->addWidget(reject);
    column->addWidget(close, 0, Qt::AlignHCenter);
    column->addStretch(1);

    // The store clears the outcome before it talks to the service, so the sheet can go at once.
    const auto answer = [this](QAbstractButton *button, std::function<void()> act) {
        connect(button, &QAbstractButton::clicked, this, [this, act] {
            act();
            emit closeRequested();
        });
    };
    answer(accept, [&store] { store.acceptInvite(); });
    answer(reject, [&store] { store.rejectInvite(); });
    answer(close, [&store] { store.setInviteOutcome(std::nullopt); });
}
