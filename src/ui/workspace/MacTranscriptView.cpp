#include "ui/workspace/MacTranscriptView.h"

MacTranscriptView::MacTranscriptView(LocalStore &store, MacRoomState &room,
                                     MacNavigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_room(room)
    , m_navigation(navigation)
{ }
