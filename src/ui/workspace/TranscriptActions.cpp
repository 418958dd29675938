#include "ui/workspace/TranscriptActions.h"

#include "store/LocalStore.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/ImageDecodeJob.h"
#include "ui/workspace/RoomState.h"
#include "ui/workspace/TranscriptView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

TranscriptActions::TranscriptActions(LocalStore &store, RoomState &room, TranscriptView &view)
    : m_store(store)
    , m_room(room)
    , m_view(view)
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
    RoomState *room = &m_room;
    TranscriptView *view = &m_view;
    menu->addAction(QStringLiteral("답장"), menu, [room, message] { room->chooseReply(message); });
    menu->addAction(QStringLiteral("복사"), menu, [message] { copy(message); });
    menu->addAction(QStringLiteral("삭제"), menu,
                    [room, message] { room->setDeleteTarget(message); });
    if (!isMine(message)) {
        menu->addAction(QStringLiteral("신고"), menu, [view, message] {
            emit view->reportRequested(
                ReportDraft{QUuid::createUuid(), message.senderId, message.id});
        });
    }
    return menu;
}

void TranscriptActions::copy(const ChatMessage &message)
{
    // Only the latest copy reaches the clipboard, whichever decode ends first.
    static quint64 latest = 0;
    const quint64 ticket = ++latest;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (message.kind != MessageKind::image || !message.imageJPEG || message.imageJPEG->isEmpty()) {
        clipboard->setText(message.body);
        return;
    }
    // A photo from a peer may claim any size: it is decoded off the main thread, bounded as
    // everywhere else; bytes that are no picture (or too large a one) copy the caption.
    ImageDecodeJob::Request request;
    request.bytes = *message.imageJPEG;
    request.maxSide = DecodedImageCache::maxDecodedSide;
    ImageDecodeJob::start(
        std::move(request), clipboard,
        [clipboard, ticket, body = message.body](const ImageDecodeJob::Result &result) {
            if (ticket != latest)
                return;
            if (result.outcome == ImageDecodeJob::Outcome::Decoded)
                clipboard->setImage(result.image);
            else
                clipboard->setText(body);
        });
}

void TranscriptActions::resend(const ChatMessage &message) const
{
    const QUuid room = m_room.conversationId();
    if (message.kind == MessageKind::image && message.imageJPEG && !message.imageJPEG->isEmpty())
        m_store.sendImage(room, *message.imageJPEG, message.body, message.replyToId);
    else
        m_store.sendText(room, message.body, message.replyToId);
}
