#include "ui/workspace/TranscriptAnnouncer.h"

#include "store/LocalStore.h"
#include "ui/common/PaintedItemAccessible.h"
#include "ui/workspace/TranscriptModel.h"

namespace {

// The announcing object: a notification named with the latest sentence, standing for the
// transcript (its parent and its place on screen) without being one of its children.
class NoticeAccessible : public PaintedItemAccessible
{
public:
    explicit NoticeAccessible(QWidget *owner)
        : PaintedItemAccessible(owner)
        , m_owner(owner)
    { }

    void setName(const QString &name) { m_name = name; }

    bool isValid() const override { return m_owner; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? m_name : QString();
    }
    QRect rect() const override
    {
        return m_owner ? QRect(m_owner->mapToGlobal(QPoint(0, 0)), m_owner->size()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    // Shown, enabled and never focusable: a screen reader ignores an object with no state.
    QAccessible::State state() const override { return {}; }

private:
    QPointer<QWidget> m_owner;
    QString m_name;
};

} // namespace

TranscriptAnnouncer::TranscriptAnnouncer(LocalStore &store, TranscriptModel &model, QWidget *owner)
    : QObject(owner)
    , m_store(store)
    , m_model(model)
    , m_owner(owner)
{
    m_hold.setSingleShot(true);
    m_hold.setInterval(defaultInterval);
    connect(&m_hold, &QTimer::timeout, this, &TranscriptAnnouncer::holdEnded);
    connect(&m_store, &LocalStore::messageArrived, this, &TranscriptAnnouncer::arrived);
}

TranscriptAnnouncer::~TranscriptAnnouncer()
{
    if (m_notice)
        QAccessible::deleteAccessibleInterface(m_notice);
}

void TranscriptAnnouncer::arrived(const ChatMessage &message)
{
    // Without a screen reader nobody listens: an arrival costs nothing here then.
    if (!QAccessible::isActive())
        return;
    // What a notification would say of another room, or of one's own message, is no news here;
    // join and leave lines and deleted messages are not announced, as they are not notified.
    const std::optional<Account> me = m_store.me();
    if ((me && me->id == message.senderId) || message.kind == MessageKind::system
        || message.kind == MessageKind::deleted || message.hiddenForMe
        || m_store.blocks().contains(message.senderId) || m_model.rowOf(message.id) < 0)
        return;
    if (m_hold.isActive()) {
        m_waiting = message.id;
        return;
    }
    announce(message.id);
}

void TranscriptAnnouncer::holdEnded()
{
    if (const std::optional<QUuid> waiting = std::exchange(m_waiting, std::nullopt))
        announce(*waiting);
}

void TranscriptAnnouncer::announce(const QUuid &messageId)
{
    // Only for the room on screen in the window in use; the row may have gone (hidden,
    // deleted) while it waited.
    const int row = m_model.rowOf(messageId);
    if (!m_owner || !m_owner->isVisible() || !m_owner->isActiveWindow() || row < 0)
        return;
    m_text = m_model.row(row).accessibleText();
    if (!m_notice)
        m_notice = QAccessible::registerAccessibleInterface(new NoticeAccessible(m_owner));
    QAccessibleInterface *notice = QAccessible::accessibleInterface(m_notice);
    static_cast<NoticeAccessible *>(notice)->setName(m_text);
    // The name first, so that a client's cached name gives way to the new one; then the
    // showing, which is what a screen reader speaks.
    QAccessibleEvent renamed(notice, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    QAccessibleEvent shown(notice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    m_hold.start();
}
