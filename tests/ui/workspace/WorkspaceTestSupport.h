#pragma once

// Shared pieces of the window tests: a local store signed in with a few rooms, the window over
// it (made active for the keyboard tests), the dark palette, clicking buttons by their text, and
// pictures of views for a person to look at.

#include "../UiTestSupport.h"
#include "StoreTestSupport.h"
#include "TestImages.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/Workspace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QWidget>

// A local store signed in as "나" with a direct room with 한소라, a group "주말 산행" with 한소라
// and 정태오, and the house account's welcome room.
struct SeededStore
{
    SeededStore()
    {
        me = signInWithProfile(*store);
        befriend(*store, SeedID::sora());
        befriend(*store, SeedID::taeo());
        direct = *store->openDirect(SeedID::sora());
        group = *store->createGroup({SeedID::sora(), SeedID::taeo()}, QStringLiteral("주말 산행"));
        house = *store->openDirect(SeedID::quillo());
        store->merge(textMessage(direct, SeedID::sora(), 1, QStringLiteral("오늘 저녁 어때?")),
                     false);
    }

    // A local send is delivered after a short wait; the store must not go while one waits.
    ~SeededStore()
    {
        const bool settled = QTest::qWaitFor([this] {
            const QList<ChatMessage> all = store->messages();
            return std::none_of(all.cbegin(), all.cend(), [](const ChatMessage &m) {
                return m.delivery == DeliveryState::sending;
            });
        });
        if (!settled)
            qWarning("a local send was still being delivered");
        QTest::qWait(1);
    }

    std::unique_ptr<LocalStore> store = memoryStore();
    QUuid me, direct, group, house;
};

// The whole signed-in window over a seeded store, shown at its default size.
struct WorkspaceRig
{
    WorkspaceRig()
    {
        workspace.resize(960, 680);
        workspace.show();
    }
    SeededStore seeded;
    LocalStore &store = *seeded.store;
    Workspace workspace{store};
    Navigation &nav = workspace.navigation();
};

// The same window made the active one, so that keys reach it (a test that types checks `active`).
struct ActiveWorkspaceRig : WorkspaceRig
{
    ActiveWorkspaceRig()
    {
        QApplication::setActiveWindow(&workspace);
        active = QTest::qWaitForWindowActive(&workspace);
    }
    Sidebar &sidebar() { return *workspace.findChild<Sidebar *>(); }
    bool active = false;
};

// The button among `root`'s children whose text is `text`; null when there is none.
template<typename T = QAbstractButton>
T *buttonWithText(QWidget *root, const QString &text)
{
    for (T *button : root->findChildren<T *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Saves a picture of `widget` in the "shots" folder beside the test program.
inline void saveShot(QWidget *widget, const QString &name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/shots");
    QDir().mkpath(folder);
    // Layouts settle on the event loop.
    QCoreApplication::processEvents();
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}
