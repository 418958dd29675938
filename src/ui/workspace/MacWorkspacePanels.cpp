// Where the workspace creates its pages and sheets, and hosts the sheets in dialogs.

#include "ui/workspace/MacWorkspace.h"

#include "store/LocalStore.h"
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
#include "ui/workspace/MacRoomView.h"
#include "ui/workspace/SecondaryLabel.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace {

QLabel *pickPlaceholder(QWidget *parent)
{
    auto *label = new SecondaryLabel(MacWorkspace::emptyText(), parent);
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
    auto show = [this](MacPage::Kind kind) { return [this, kind] { showPage({kind, {}}); }; };
    switch (page.kind) {
    case MacPage::pick:
        return pickPlaceholder(parent);
    case MacPage::room:
        return new MacRoomView(
            m_store, *m_navigation, page.id, [this](const QUuid &userId) { openProfile(userId); },
            [this] { leaveRoom(); }, parent);
    case MacPage::profile:
        return new MacProfileView(
            m_store, page.id, [this](const ReportDraft &draft) { m_navigation->setReport(draft); },
            // A room may come back after the page, or the whole workspace, has gone.
            [self = QPointer(this)](const QUuid &roomId) {
                if (self)
                    self->m_navigation->openRoom(roomId);
            },
            parent);
    case MacPage::me:
        return new MacMeEdit(m_store, show(MacPage::pick), parent);
    case MacPage::settings:
        return new MacSettingsView(m_store, show(MacPage::password), show(MacPage::blocked),
                                   show(MacPage::deleteAccount), show(MacPage::pick), parent);
    case MacPage::password:
        return new MacPasswordView(m_store, show(MacPage::settings), parent);
    case MacPage::blocked:
        return new MacBlockedList(m_store, show(MacPage::settings), parent);
    case MacPage::deleteAccount:
        return new MacDeleteAccount(m_store, show(MacPage::settings), parent);
    case MacPage::invite:
        return new MacInvitePanel(m_store, show(MacPage::pick), parent);
    }
    return pickPlaceholder(parent);
}

// A sheet closes itself by emitting closeRequested(); its host dialog then goes and the
// sheet's navigation value is cleared.
QWidget *MacWorkspace::createSheet(MacSheet sheet, QWidget *parent)
{
    switch (sheet) {
    case MacSheet::newChat:
        return new MacNewChat(
            m_store,
            [self = QPointer(this)](const QUuid &roomId) {
                if (self)
                    self->openFromNewChat(roomId);
            },
            parent);
    case MacSheet::report:
        if (const auto draft = m_navigation->report())
            // The sheet's answer may come after the sheet, and even the workspace, has gone.
            return new MacReportSheet(
                m_store, *draft,
                [self = QPointer<MacWorkspace>(this)](const QString &text) {
                    if (self)
                        self->finishReport(text);
                },
                parent);
        break;
    case MacSheet::media:
        if (const auto messageId = m_navigation->mediaId())
            return new MacMediaViewer(m_store, *messageId, parent);
        break;
    case MacSheet::inviteRequest:
        if (const auto outcome = m_store.inviteOutcome())
            return new MacInviteRequest(m_store, *outcome, parent);
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
    SheetHost &host = m_sheets[size_t(sheet)];
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

    auto *dialog = new QDialog(this);
    QWidget *content = createSheet(sheet, dialog);
    if (!content) {
        delete dialog;
        return;
    }
    dialog->setWindowModality(Qt::WindowModal);
    // The sheet's least size is a floor under its content's, not a limit: a fixed minimum
    // would let a sheet that grows (the report's note) squeeze its rows instead of growing.
    auto *layout = new QGridLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    const QSize floor = sheetMinimum(sheet);
    layout->addItem(
        new QSpacerItem(floor.width(), floor.height(), QSizePolicy::Minimum, QSizePolicy::Minimum),
        0, 0);
    layout->addWidget(content, 0, 0);
    connect(content, SIGNAL(closeRequested()), dialog, SLOT(reject()));
    connect(dialog, &QDialog::finished, this, [this, sheet, dialog] {
        SheetHost &current = m_sheets[size_t(sheet)];
        if (current.dialog == dialog)
            current = {};
        dialog->deleteLater();
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
