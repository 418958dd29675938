#include "platform/PushCenter.h"

namespace {

std::optional<QUuid> uuidFrom(const QVariant &value)
{
    // Accepts a UUID text (with or without braces, any case) or a QUuid value.
    const QUuid id = QUuid::fromString(value.toString().trimmed());
    if (id.isNull())
        return std::nullopt;
    return id;
}

} // namespace

void PushCenter::flush()
{
    if (!onOpen || !s_waiting)
        return;
    // Empty the slot before calling out, so a hook that taps or flushes again sees it empty.
    // Call a copy: the hook may replace itself while it runs.
    const Tap tap = *s_waiting;
    s_waiting.reset();
    const auto open = onOpen;
    open(tap.conversationId, tap.messageId);
}

void PushCenter::registerForNotifications()
{
    // Desktop notifications on Linux need no permission, and there is no remote-notification
    // service to register with: permission counts as granted and onToken is never called.
}

void PushCenter::handleTap(const QVariantMap &userInfo)
{
    const std::optional<QUuid> conversationId
        = uuidFrom(userInfo.value(QStringLiteral("conversation_id")));
    if (!conversationId)
        return;
    handleTap(*conversationId, uuidFrom(userInfo.value(QStringLiteral("message_id"))));
}

void PushCenter::handleTap(const QUuid &conversationId, std::optional<QUuid> messageId)
{
    if (conversationId.isNull())
        return;
    if (messageId && messageId->isNull())
        messageId.reset();
    if (!onOpen) {
        s_waiting = Tap{conversationId, messageId};
        return;
    }
    // A newer tap supersedes one still waiting; delivering the old one later would open the
    // wrong room after the right one.
    s_waiting.reset();
    const auto open = onOpen;
    open(conversationId, messageId);
}

bool PushCenter::soundAllowed()
{
    return !allowsSound || allowsSound();
}

bool PushCenter::hasWaitingTap()
{
    return s_waiting.has_value();
}

void PushCenter::reset()
{
    onToken = nullptr;
    onOpen = nullptr;
    isRoomOpen = nullptr;
    allowsSound = nullptr;
    s_waiting.reset();
}
