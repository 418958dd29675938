#include "ui/workspace/TranscriptRow.h"

#include "ui/common/ChatTime.h"

QString TranscriptRow::accessibleText() const
{
    // A system line is read as what it says.
    if (isSystem())
        return message.body;
    const QString name = senderKnown ? senderName : QString();
    QString prefix;
    if (isNotice())
        prefix = name + QStringLiteral(", 안내, ");
    else if (mine)
        prefix = QStringLiteral("나, ");
    else
        prefix = name + QStringLiteral(", ");
    QString content = message.body;
    if (message.kind == MessageKind::image && content.isEmpty())
        content = kPhotoText;
    else if (isDeleted())
        content = kDeletedMessageText;
    return prefix + ChatTime::spoken(message.createdAt) + QStringLiteral(", ") + content;
}
