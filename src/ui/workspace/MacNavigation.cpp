#include "ui/workspace/MacNavigation.h"

#include "ui/common/ChangeNotify.h"

#include <utility>

QString rawText(MacSection section)
{
    return section == MacSection::chats ? QStringLiteral("대화") : QStringLiteral("친구");
}

MacNavigation::MacNavigation(QObject *parent)
    : QObject(parent)
{ }

#define ZUMO_NAV_SETTER(Name, Type, field, signal) \
    void MacNavigation::Name(Type value) \
    { \
        assignNotifying(this, field, value, &MacNavigation::signal); \
    }

ZUMO_NAV_SETTER(setSection, MacSection, m_section, sectionChanged)
ZUMO_NAV_SETTER(setPage, const MacPage &, m_page, pageChanged)
ZUMO_NAV_SETTER(setRoomInfo, bool, m_roomInfo, roomInfoChanged)
ZUMO_NAV_SETTER(setQuery, const QString &, m_query, queryChanged)
ZUMO_NAV_SETTER(setShowNewChat, bool, m_showNewChat, showNewChatChanged)
ZUMO_NAV_SETTER(setReport, const std::optional<ReportDraft> &, m_report, reportChanged)
ZUMO_NAV_SETTER(setMediaId, const std::optional<QUuid> &, m_mediaId, mediaIdChanged)
ZUMO_NAV_SETTER(setBanner, const std::optional<QString> &, m_banner, bannerChanged)
ZUMO_NAV_SETTER(setLeaveId, const std::optional<QUuid> &, m_leaveId, leaveIdChanged)

#undef ZUMO_NAV_SETTER

void MacNavigation::setPageClosingInfo(const MacPage &page)
{
    const bool closing = std::exchange(m_roomInfo, false);
    setPage(page);
    if (closing)
        emit roomInfoChanged();
}

void MacNavigation::openRoom(const QUuid &roomId)
{
    setSection(MacSection::chats);
    setPageClosingInfo(MacPage::roomPage(roomId));
}

void MacNavigation::openRoomToWrite(const QUuid &roomId)
{
    openRoom(roomId);
    emit writeRequested();
}
