#include "ui/workspace/Navigation.h"

#include "ui/common/ChangeNotify.h"

#include <utility>

#define ZUMO_NAV_SETTER(Name, Type, field, signal) \
    void Navigation::Name(Type value) \
    { \
        assignNotifying(this, field, value, &Navigation::signal); \
    }

ZUMO_NAV_SETTER(setSection, Section, m_section, sectionChanged)
ZUMO_NAV_SETTER(setPage, const Page &, m_page, pageChanged)
ZUMO_NAV_SETTER(setRoomInfo, bool, m_roomInfo, roomInfoChanged)
ZUMO_NAV_SETTER(setQuery, const QString &, m_query, queryChanged)
ZUMO_NAV_SETTER(setShowNewChat, bool, m_showNewChat, showNewChatChanged)
ZUMO_NAV_SETTER(setReport, const std::optional<ReportDraft> &, m_report, reportChanged)
ZUMO_NAV_SETTER(setMediaId, const std::optional<QUuid> &, m_mediaId, mediaIdChanged)
ZUMO_NAV_SETTER(setBanner, const std::optional<QString> &, m_banner, bannerChanged)
ZUMO_NAV_SETTER(setLeaveId, const std::optional<QUuid> &, m_leaveId, leaveIdChanged)

#undef ZUMO_NAV_SETTER

void Navigation::setPageClosingInfo(const Page &page)
{
    const bool closing = std::exchange(m_roomInfo, false);
    setPage(page);
    if (closing)
        emit roomInfoChanged();
}

void Navigation::openRoom(const QUuid &roomId)
{
    setSection(Section::chats);
    setPageClosingInfo(Page::roomPage(roomId));
}

void Navigation::openRoomToWrite(const QUuid &roomId)
{
    openRoom(roomId);
    emit writeRequested();
}
