#pragma once

#include "model/HandOver.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// The list the sidebar shows.
enum class Section { chats, friends };

// The page of the detail column. `id` is the room of `room` and the user of `profile`, and null
// for every other kind.
struct Page
{
    enum Kind { pick, room, profile, me, settings, password, blocked, deleteAccount, invite };

    Kind kind = pick;
    QUuid id;

    static Page roomPage(const QUuid &roomId) { return {room, roomId}; }
    static Page profilePage(const QUuid &userId) { return {profile, userId}; }

    bool isRoom(const QUuid &roomId) const { return kind == room && id == roomId; }

    friend bool operator==(const Page &a, const Page &b)
    {
        return a.kind == b.kind && ((a.kind != room && a.kind != profile) || a.id == b.id);
    }
};

// The window's navigation state. The workspace owns it and alone writes it, in answer to the
// views' requests; the sidebar and the room pane are handed it read-only and follow its
// signals. Every setter signals only on a real change.
class Navigation : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    Section section() const { return m_section; }
    void setSection(Section section);

    Page page() const { return m_page; }
    void setPage(const Page &page);

    bool roomInfo() const { return m_roomInfo; }
    void setRoomInfo(bool shown);

    QString query() const { return m_query; }
    void setQuery(const QString &query);

    bool showNewChat() const { return m_showNewChat; }
    void setShowNewChat(bool shown);

    std::optional<ReportDraft> report() const { return m_report; }
    void setReport(const std::optional<ReportDraft> &draft);

    std::optional<QUuid> mediaId() const { return m_mediaId; }
    void setMediaId(const std::optional<QUuid> &messageId);

    std::optional<QString> banner() const { return m_banner; }
    void setBanner(const std::optional<QString> &text);

    std::optional<QUuid> leaveId() const { return m_leaveId; }
    void setLeaveId(const std::optional<QUuid> &roomId);

    // Moves to `page` and closes a room's information panel, in that order: the room being left
    // never shows its transcript again (which would load the room once more), and a room being
    // entered starts on its transcript.
    void setPageClosingInfo(const Page &page);

    // Every road into a room: the chat list, the room page, and the room's transcript.
    void openRoom(const QUuid &roomId);
    // Opens the room and gives its message field the keyboard (Return on a room's row).
    void openRoomToWrite(const QUuid &roomId);

signals:
    void sectionChanged();
    void pageChanged();
    void roomInfoChanged();
    void queryChanged();
    void showNewChatChanged();
    void reportChanged();
    void mediaIdChanged();
    void bannerChanged();
    void leaveIdChanged();
    // The open room's message field is to take the keyboard; no state of its own.
    void writeRequested();

private:
    Section m_section = Section::chats;
    Page m_page;
    bool m_roomInfo = false;
    QString m_query;
    bool m_showNewChat = false;
    std::optional<ReportDraft> m_report;
    std::optional<QUuid> m_mediaId;
    std::optional<QString> m_banner;
    std::optional<QUuid> m_leaveId;
};
