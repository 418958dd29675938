#include "ui/workspace/TranscriptActions.h"

#include "store/LocalStore.h"
#include "ui/workspace/MacNavigation.h"
#include "ui/workspace/MacRoomState.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>

TranscriptActions::TranscriptActions(LocalStore &store, MacRoomState &room,
                                     MacNavigation &navigation)
    : m_store(store)
    , m_room(room)
    , m_navigation(navigation)
{ }

bool TranscriptActions::isMine(const ChatMessage &message) const
{
    const std::optional<Account> me = m_store.me();
    return me && me->id == message.senderId;
}

QMenu *TranscriptActions::menuFor(const ChatMessage &message, QWidget *parent) const
{
    if (message.kind == MessageKind::system || message.kind == MessageKind::deleted)
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    MacRoomState *room = &m_room;
    MacNavigation *navigation = &m_navigation;
    menu->addAction(QStringLiteral("답장"), menu, [room, message] { room->chooseReply(message); });
    menu->addAction(QStringLiteral("복사"), menu, [message] { copy(message); });
    menu->addAction(QStringLiteral("삭제"), menu,
                    [room, message] { room->setDeleteTarget(message); });
    if (!isMine(message)) {
        menu->addAction(QStringLiteral("신고"), menu, [navigation, message] {
            navigation->setReport(ReportDraft{QUuid::createUuid(), message.senderId, message.id});
        });
    }
    return menu;
}

void TranscriptActions::copy(const ChatMessage &message)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (message.kind == MessageKind::image && message.imageJPEG) {
        const QImage image = QImage::fromData(*message.imageJPEG);
        if (!image.isNull()) {
            clipboard->setImage(image);
            return;
        }
    }
    clipboard->setText(message.body);
}

void TranscriptActions::resend(const ChatMessage &message) const
{
    const QUuid room = m_room.conversationId();
    if (message.kind == MessageKind::image && message.imageJPEG && !message.imageJPEG->isEmpty())
        m_store.sendImage(room, *message.imageJPEG, message.body, message.replyToId);
    else
        m_store.sendText(room, message.body, message.replyToId);
}
