#include "ui/workspace/MacSidebar.h"

MacSidebar::MacSidebar(LocalStore &store, MacNavigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
{ }
