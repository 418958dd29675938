#pragma once

#include "ui/workspace/Navigation.h"

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <array>
#include <chrono>
#include <optional>

class LocalStore;
class NewChat;
class ReportSheet;
class Sidebar;
class PageBase;
class QSplitter;

// The notice laid over the bottom centre of the window: the text in a capsule on a translucent
// backdrop, 24 above the bottom edge of its parent. Hidden while there is no text.
// It takes no clicks: what lies under it stays usable.
class BannerView : public QWidget
{
    Q_OBJECT
public:
    explicit BannerView(QWidget *parent);

    void setText(const std::optional<QString> &text);
    QString text() const { return m_text; }

    // Sizes the capsule to its text and moves it to its place in the parent; the parent calls it
    // when it is resized.
    void place();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};

// The sheets the workspace raises over the window, each while its navigation value is set.
enum class Sheet { newChat, report, media, inviteRequest };

// The signed-in user's window content: the sidebar and the detail column in a split view, the
// sheets, the leave alert and the notice banner. It owns the window's navigation state and is
// the only one to write it: the sidebar, the room pane, the pages and the sheets signal what
// the user asks for, and the workspace answers through its requests below.
// Everything it opens (pages, sheets, dialogs) is its child, so dropping it drops them all.
class Workspace : public QWidget
{
    Q_OBJECT
public:
    explicit Workspace(LocalStore &store, QWidget *parent = nullptr);

    // The navigation state; tests set a scene through it.
    Navigation &navigation() { return *m_navigation; }
    // The page the detail column shows now.
    QWidget *detail() const { return m_page; }
    // The dialog hosting a sheet while it is up.
    QDialog *sheet(Sheet sheet) const { return m_sheets[size_t(sheet)].dialog; }
    QMessageBox *leaveAlert() const { return m_leaveAlert; }

    // How long a banner text stays (2 seconds); tests shorten it.
    void setBannerDuration(std::chrono::milliseconds duration) { m_bannerDuration = duration; }

    // The requests of the views, pages and sheets that take more than one plain change of the
    // navigation; the others are connected straight to it.
    void openRoom(const QUuid &roomId) { m_navigation->openRoom(roomId); }
    // A room's profile link: the room's information panel closes, the profile opens.
    void openProfile(const QUuid &userId)
    {
        m_navigation->setPageClosingInfo(Page::profilePage(userId));
    }
    // After leaving the open room from its information panel.
    void leaveRoom() { m_navigation->setPageClosingInfo(Page{Page::pick, {}}); }
    // The new-conversation sheet made or found a room: the sheet goes, the room opens.
    void openFromNewChat(const QUuid &roomId);
    // The report sheet finished with a text to show.
    void finishReport(const QString &text);

    // The store's requests to open a room (a notification click, an accepted invite).
    void followPush();
    void followInvite();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void followNavigation();
    void followStore();
    void connectSidebar(Sidebar *sidebar);
    void enterPage();
    void returnKeyboard(Page::Kind left);
    void focusList();
    QWidget *createPage(const Page &page);
    PageBase *createSheet(Sheet sheet);
    void openChat(const QUuid &userId, void (Workspace::*open)(const QUuid &roomId));
    void createGroup(QPointer<NewChat> sheet, const QList<QUuid> &memberIds, const QString &title);
    void sendReport(QPointer<ReportSheet> sheet, const ReportDraft &draft, const QString &reason,
                    const QString &note);
    std::optional<QUuid> sheetItem(Sheet sheet) const;
    void followSheet(Sheet sheet);
    void dismissSheet(Sheet sheet);
    void takeNotice();
    void bannerChanged();
    void roomsChanged();
    void followLeave();
    void confirmLeave();

    LocalStore &m_store;
    Navigation *m_navigation;
    QSplitter *m_split;
    Sidebar *m_sidebar = nullptr;
    QWidget *m_detailColumn;
    QPointer<QWidget> m_page;
    Page m_shownPage{Page::pick, {}};

    // The dialog that shows a sheet now, and the item it was opened for.
    struct OpenSheet
    {
        QPointer<QDialog> dialog;
        QUuid item;
    };
    std::array<OpenSheet, 4> m_sheets;

    QPointer<QMessageBox> m_leaveAlert;
    BannerView *m_banner;
    std::chrono::milliseconds m_bannerDuration{2000};
    std::optional<QUuid> m_pushToken;
    std::optional<QUuid> m_inviteToken;
    QList<QUuid> m_roomIDs;
    // The rooms' ids may have changed since roomsChanged() last looked; a change that names its
    // rooms (roomsTouched) keeps every id in its place.
    bool m_roomIDsDue = true;
    bool m_roomsNamed = false;
    // The context of the connections that note those two: gone, and disconnected, before the
    // widget that is left while the window closes hears of any store change.
    QObject m_roomWatch;
};
