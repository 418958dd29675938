// Where the workspace creates its pages and sheets, and hosts the sheets in dialogs.

#include "ui/workspace/Workspace.h"

#include "store/LocalStore.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreTask.h"
#include "ui/panels/BlockedList.h"
#include "ui/panels/DeleteAccount.h"
#include "ui/panels/InvitePanel.h"
#include "ui/panels/InviteRequest.h"
#include "ui/panels/MeEdit.h"
#include "ui/panels/MediaViewer.h"
#include "ui/panels/NewChat.h"
#include "ui/panels/PageBase.h"
#include "ui/panels/PasswordView.h"
#include "ui/panels/ProfileView.h"
#include "ui/panels/ReportSheet.h"
#include "ui/panels/SettingsView.h"
#include "ui/workspace/RoomView.h"

#include <QLabel>

namespace {

QLabel *pickPlaceholder(QWidget *parent)
{
    QLabel *label
        = PanelParts::label(QStringLiteral("대화를 선택하세요."), QStringLiteral("emptyDetail"),
                            ChatFont::title3(), parent, PanelParts::Ink::Secondary);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The least size of each sheet's dialog, in the order of Sheet; the new-conversation sheet has
// none of its own.
constexpr QSize sheetMinimum[] = {{0, 0}, {420, 360}, {640, 480}, {360, 180}};

// What a screen reader calls each sheet's window: its title.
QString sheetTitle(Sheet sheet)
{
    switch (sheet) {
    case Sheet::newChat:
        return QStringLiteral("새 대화");
    case Sheet::report:
        return QStringLiteral("신고");
    case Sheet::media:
        return QStringLiteral("사진");
    case Sheet::inviteRequest:
        return QStringLiteral("친구 요청");
    }
    return {};
}

} // namespace

QWidget *Workspace::createPage(const Page &page)
{
    QWidget *parent = m_detailColumn;
    Navigation *navigation = m_navigation;
    const auto show = [navigation](Page::Kind kind) {
        return [navigation, kind] { navigation->setPage({kind, {}}); };
    };
    // A page that only asks to be left goes back to `back`.
    const auto leaving = [&](PageBase *created, Page::Kind back) {
        connect(created, &PageBase::closeRequested, this, show(back));
        return created;
    };
    switch (page.kind) {
    case Page::pick:
        return pickPlaceholder(parent);
    case Page::room: {
        auto *room = new RoomView(m_store, *m_navigation, page.id, parent);
        connect(room, &RoomView::roomInfoRequested, m_navigation, &Navigation::setRoomInfo);
        connect(room, &RoomView::profileRequested, this, &Workspace::openProfile);
        connect(room, &RoomView::left, this, &Workspace::leaveRoom);
        connect(room, &RoomView::reportRequested, m_navigation, &Navigation::setReport);
        connect(room, &RoomView::mediaRequested, m_navigation, &Navigation::setMediaId);
        return room;
    }
    case Page::profile: {
        auto *profile = new ProfileView(m_store, page.id, parent);
        connect(profile, &ProfileView::reportRequested, m_navigation, &Navigation::setReport);
        connect(profile, &ProfileView::chatRequested, this,
                [this](const QUuid &userId) { openChat(userId, &Workspace::openRoom); });
        return profile;
    }
    case Page::me:
        return leaving(new MeEdit(m_store, parent), Page::pick);
    case Page::settings: {
        auto *settings = new SettingsView(m_store, parent);
        connect(settings, &SettingsView::passwordRequested, this, show(Page::password));
        connect(settings, &SettingsView::blockedRequested, this, show(Page::blocked));
        connect(settings, &SettingsView::deleteAccountRequested, this, show(Page::deleteAccount));
        return leaving(settings, Page::pick);
    }
    case Page::password:
        return leaving(new PasswordView(m_store, parent), Page::settings);
    case Page::blocked:
        return leaving(new BlockedList(m_store, parent), Page::settings);
    case Page::deleteAccount:
        return leaving(new DeleteAccount(m_store, parent), Page::settings);
    case Page::invite:
        return leaving(new InvitePanel(m_store, parent), Page::pick);
    }
    return pickPlaceholder(parent);
}

// A sheet closes itself by emitting closeRequested(); its host dialog then goes and the
// sheet's navigation value is cleared. Only a sheet whose value is set (see sheetItem()) is made.
PageBase *Workspace::createSheet(Sheet sheet)
{
    switch (sheet) {
    case Sheet::newChat: {
        auto *newChat = new NewChat(m_store);
        connect(newChat, &NewChat::chatRequested, this,
                [this](const QUuid &userId) { openChat(userId, &Workspace::openFromNewChat); });
        connect(newChat, &NewChat::groupRequested, this,
                [this, newChat](const QList<QUuid> &memberIds, const QString &title) {
                    createGroup(newChat, memberIds, title);
                });
        return newChat;
    }
    case Sheet::report: {
        auto *report = new ReportSheet(*m_navigation->report());
        connect(report, &ReportSheet::sendRequested, this,
                [this, report](const ReportDraft &draft, const QString &reason,
                               const QString &note) { sendReport(report, draft, reason, note); });
        return report;
    }
    case Sheet::media:
        return new MediaViewer(m_store, *m_navigation->mediaId());
    case Sheet::inviteRequest:
        return new InviteRequest(m_store);
    }
    return nullptr;
}

// What the pages and sheets ask of the store. The answers are the workspace's: a room opens and
// a report is announced even when the page or sheet that asked has gone meanwhile (the user may
// close it while the service answers). A failure goes back to the sheet only while it is up.
// With no room the store has already shown why.
void Workspace::openChat(const QUuid &userId, void (Workspace::*open)(const QUuid &roomId))
{
    StoreTask::whenDone(m_store.openChat(userId), this, std::nullopt,
                        [this, open](std::optional<QUuid> room) {
                            if (room)
                                (this->*open)(*room);
                        });
}

void Workspace::createGroup(QPointer<NewChat> sheet, const QList<QUuid> &memberIds,
                            const QString &title)
{
    StoreTask::whenDone(m_store.openGroup(memberIds, title), this, std::nullopt,
                        [this, sheet](std::optional<QUuid> room) {
                            if (room)
                                openFromNewChat(*room);
                            else if (sheet)
                                sheet->createFailed();
                        });
}

void Workspace::sendReport(QPointer<ReportSheet> sheet, const ReportDraft &draft,
                           const QString &reason, const QString &note)
{
    StoreTask::whenDone(m_store.submitReport(draft.userId, draft.messageId, reason, note), this,
                        kTemporaryErrorText, [this, sheet](std::optional<QString> failure) {
                            if (!failure)
                                finishReport(ReportSheet::doneText());
                            else if (sheet)
                                sheet->refused(*failure);
                        });
}

// The item a sheet is up for; none while it is down. A new item replaces the sheet.
std::optional<QUuid> Workspace::sheetItem(Sheet sheet) const
{
    switch (sheet) {
    case Sheet::newChat:
        return m_navigation->showNewChat() ? std::optional(QUuid()) : std::nullopt;
    case Sheet::report:
        if (const auto draft = m_navigation->report())
            return draft->id;
        return std::nullopt;
    case Sheet::media:
        return m_navigation->mediaId();
    case Sheet::inviteRequest:
        if (const auto outcome = m_store.inviteOutcome())
            return outcome->id;
        return std::nullopt;
    }
    return std::nullopt;
}

void Workspace::followSheet(Sheet sheet)
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

    QDialog *dialog = SheetHost::create(this, createSheet(sheet), sheetMinimum[size_t(sheet)]);
    dialog->setWindowTitle(sheetTitle(sheet));
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
void Workspace::dismissSheet(Sheet sheet)
{
    switch (sheet) {
    case Sheet::newChat:
        m_navigation->setShowNewChat(false);
        break;
    case Sheet::report:
        m_navigation->setReport(std::nullopt);
        break;
    case Sheet::media:
        m_navigation->setMediaId(std::nullopt);
        break;
    case Sheet::inviteRequest:
        m_store.setInviteOutcome(std::nullopt);
        break;
    }
}
