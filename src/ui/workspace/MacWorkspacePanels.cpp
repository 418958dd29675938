// Where the workspace creates its pages and sheets, and hosts the sheets in dialogs.

#include "ui/workspace/MacWorkspace.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/panels/MacBlockedList.h"
#include "ui/panels/MacDeleteAccount.h"
#include "ui/panels/MacInvitePanel.h"
#include "ui/panels/MacInviteRequest.h"
#include "ui/panels/MacMeEdit.h"
#include "ui/panels/MacMediaViewer.h"
#include "ui/panels/MacNewChat.h"
#include "ui/panels/MacPasswordView.h"
#include "ui/panels/MacProfileView.h"
#include "ui/panels/MacReportSheet.h"
#include "ui/panels/MacSettingsView.h"
#include "ui/panels/SheetHost.h"
#include "ui/workspace/MacRoomView.h"

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QLabel *pickPlaceholder(QWidget *parent)
{
    auto *label = new QLabel(MacWorkspace::emptyText(), parent);
    ChatColor::keepSecondary(label);
    label->setObjectName(QStringLiteral("emptyDetail"));
    label->setAlignment(Qt::AlignCenter);
    label->setFont(ChatFont::title3());
    return label;
}

QSize sheetMinimum(MacSheet sheet)
{
    switch (sheet) {
    case MacSheet::report:
        return {420, 360};
    case MacSheet::media:
        return {640, 480};
    case MacSheet::inviteRequest:
        return {360, 180};
    case MacSheet::newChat:
        break;
    }
    return {0, 0};
}

} // namespace

QWidget *MacWorkspace::createPage(const MacPage &page)
{
    QWidget *parent = m_detailColumn;
    const auto show = [this](MacPage::Kind kind) { return [this, kind] { showPage({kind, {}}); }; };
    // A page that only asks to be left goes back to `back`.
    const auto leaving = [&](Page *created, MacPage::Kind back) {
        connect(created, &Page::closeRequested, this, show(back));
        return created;
    };
    switch (page.kind) {
    case MacPage::pick:
        return pickPlaceholder(parent);
    case MacPage::room:
        return createRoom(page.id);
    case MacPage::profile: {
        // A room may come back after the page, or the whole workspace, has gone.
        auto *profile = new MacProfileView(
            m_store, page.id,
            [self = QPointer(this)](const QUuid &roomId) {
                if (self)
                    self->openRoom(roomId);
            },
            parent);
        connect(profile, &MacProfileView::reportRequested, this, &MacWorkspace::askReport);
        return profile;
    }
    case MacPage::me:
        return leaving(new MacMeEdit(m_store, parent), MacPage::pick);
    case MacPage::settings: {
        auto *settings = new MacSettingsView(m_store, parent);
        connect(settings, &MacSettingsView::passwordRequested, this, show(MacPage::password));
        connect(settings, &MacSettingsView::blockedRequested, this, show(MacPage::blocked));
        connect(settings, &MacSettingsView::deleteAccountRequested, this,
                show(MacPage::deleteAccount));
        return leaving(settings, MacPage::pick);
    }
    case MacPage::password:
        return leaving(new MacPasswordView(m_store, parent), MacPage::settings);
    case MacPage::blocked:
        return leaving(new MacBlockedList(m_store, parent), MacPage::settings);
    case MacPage::deleteAccount:
        return leaving(new MacDeleteAccount(m_store, parent), MacPage::settings);
    case MacPage::invite:
        return leaving(new MacInvitePanel(m_store, parent), MacPage::pick);
    }
    return pickPlaceholder(parent);
}

MacRoomView *MacWorkspace::createRoom(const QUuid &roomId)
{
    auto *room = new MacRoomView(m_store, *m_navigation, roomId, m_detailColumn);
    connect(room, &MacRoomView::roomInfoRequested, this, &MacWorkspace::showRoomInfo);
    connect(room, &MacRoomView::profileRequested, this, &MacWorkspace::openProfile);
    connect(room, &MacRoomView::left, this, &MacWorkspace::leaveRoom);
    connect(room, &MacRoomView::reportRequested, this, &MacWorkspace::askReport);
    connect(room, &MacRoomView::mediaRequested, this, &MacWorkspace::showMedia);
    return room;
}

// A sheet closes itself by emitting closeRequested(); its host dialog then goes and the
// sheet's navigation value is cleared.
Page *MacWorkspace::createSheet(MacSheet sheet)
{
    switch (sheet) {
    case MacSheet::newChat:
        return new MacNewChat(m_store, [self = QPointer(this)](const QUuid &roomId) {
            if (self)
                self->openFromNewChat(roomId);
        });
    case MacSheet::report:
        if (const auto draft = m_navigation->report())
            // The sheet's answer may come after the sheet, and even the workspace, has gone.
            return new MacReportSheet(m_store, *draft,
                                      [self = QPointer<MacWorkspace>(this)](const QString &text) {
                                          if (self)
                                              self->finishReport(text);
                                      });
        break;
    case MacSheet::media:
        if (const auto messageId = m_navigation->mediaId())
            return new MacMediaViewer(m_store, *messageId);
        break;
    case MacSheet::inviteRequest:
        if (const auto outcome = m_store.inviteOutcome())
            return new MacInviteRequest(m_store, *outcome);
        break;
    }
    return nullptr;
}

// The item a sheet is up for; none while it is down. A new item replaces the sheet.
std::optional<QUuid> MacWorkspace::sheetItem(MacSheet sheet) const
{
    switch (sheet) {
    case MacSheet::newChat:
        return m_navigation->showNewChat() ? std::optional(QUuid()) : std::nullopt;
    case MacSheet::report:
        if (const auto draft = m_navigation->report())
            return draft->id;
        return std::nullopt;
    case MacSheet::media:
        return m_navigation->mediaId();
    case MacSheet::inviteRequest:
        if (const auto outcome = m_store.inviteOutcome())
            return outcome->id;
        return std::nullopt;
    }
    return std::nullopt;
}

void MacWorkspace::followSheets()
{
    for (MacSheet sheet :
         {MacSheet::newChat, MacSheet::report, MacSheet::media, MacSheet::inviteRequest})
        followSheet(sheet);
}

void MacWorkspace::followSheet(MacSheet sheet)
{
    OpenSheet &host = m_sheets[size_t(sheet)];
    const std::optional<QUuid> item = sheetItem(sheet);
    if (host.dialog && item == host.item)
        return;
    if (host.dialog) {
        // Gone or replaced from the program's side: its value is already what it should be.
        QDialog *old = host.dialog;
        disconnect(old, &QDialog::finished, this, nullptr);
        old->hide();
        old->deleteLater();
        host = {};
    }
    // A window-modal sheet needs the window on screen; showing the workspace raises it then.
    if (!item || !isVisible())
        return;

    Page *content = createSheet(sheet);
    if (!content)
        return;
    QDialog *dialog = SheetHost::create(this, content, sheetMinimum(sheet));
    connect(dialog, &QDialog::finished, this, [this, sheet, dialog] {
        OpenSheet &current = m_sheets[size_t(sheet)];
        if (current.dialog == dialog)
            current = {};
        dismissSheet(sheet);
    });
    host.dialog = dialog;
    host.item = *item;
    dialog->open();
}

// Dismissing a sheet by any means clears what raised it.
void MacWorkspace::dismissSheet(MacSheet sheet)
{
    switch (sheet) {
    case MacSheet::newChat:
        m_navigation->setShowNewChat(false);
        break;
    case MacSheet::report:
        m_navigation->setReport(std::nullopt);
        break;
    case MacSheet::media:
        m_navigation->setMediaId(std::nullopt);
        break;
    case MacSheet::inviteRequest:
        m_store.setInviteOutcome(std::nullopt);
        break;
    }
}
