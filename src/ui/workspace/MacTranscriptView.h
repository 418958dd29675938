#pragma once

#include <QWidget>

class LocalStore;
class MacNavigation;
class MacRoomState;

// The room's transcript: older-messages button, first-load spinner, day separators and message
// rows, following the newest message, with the "새 메시지" button laid over it.
class MacTranscriptView : public QWidget
{
    Q_OBJECT
public:
    MacTranscriptView(LocalStore &store, MacRoomState &room, MacNavigation &navigation,
                      QWidget *parent = nullptr);

private:
    LocalStore &m_store;
    MacRoomState &m_room;
    MacNavigation &m_navigation;
};
