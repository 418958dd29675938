#pragma once

// Helpers shared by the shell tests: private folders, the stand-in service on loopback, a live
// store (or the whole application) talking to it, and helpers to find and drive widgets.

#include "TestShots.h"
#include "api/ChatClient.h"
#include "platform/LauncherBadge.h"
#include "platform/PushCenter.h"
#include "service/StandInService.h"
#include "store/LocalStore.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <memory>

using namespace std::chrono_literals;

// Points the data and config folders of this process at a private temporary folder. Call once,
// in initTestCase, before anything reads QSettings or QStandardPaths.
inline QTemporaryDir &privateFolders()
{
    static QTemporaryDir dir;
    static const bool done = [] {
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", (dir.path() + QStringLiteral("/run")).toUtf8());
        QDir(dir.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(dir.path() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                  | QFileDevice::ExeOwner);
        QCoreApplication::setOrganizationName(QStringLiteral("zumo-app-tests"));
        QCoreApplication::setApplicationName(QUuid::createUuid().toString(QUuid::WithoutBraces));
        return true;
    }();
    Q_UNUSED(done);
    return dir;
}

// A client for `service` whose session lives in a keychain item and a folder of its own, so
// that no test restores another test's session.
inline ChatClientOptions isolatedOptions()
{
    ChatClientOptions options;
    options.reconnectDelay = 50ms;
    options.keychainService
        = QStringLiteral("zumo-app-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    options.sessionFolder = privateFolders().path() + QStringLiteral("/session-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    return options;
}

inline std::unique_ptr<ChatClient> clientFor(const StandInService &service)
{
    return std::make_unique<ChatClient>(service.baseUrl(), isolatedOptions());
}

inline std::unique_ptr<LocalStore> liveStore(const StandInService &service)
{
    return std::make_unique<LocalStore>(true, 250ms, clientFor(service));
}

// The one child of `root` with that object name (searched recursively); fails the test when
// there is none.
template<typename T>
T *child(QObject *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (!found)
        qWarning("no child named %s", qPrintable(name));
    return found;
}

// Replaces the text of a field the way a user does: select all, then type.
inline void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    // keyClicks knows Latin-1 only; other characters go as key events that carry their text.
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(field, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Signs `store` in; false when the service refuses or the attempt fails. The coroutine catches
// inside, so that waitFor never meets an exception after a suspension.
inline bool signIn(LocalStore *store, const QString &email, const QString &password)
{
    const auto attempt
        = [](LocalStore *store, QString email, QString password) -> QCoro::Task<bool> {
        try {
            co_return !(co_await store->login(email, password)).has_value();
        } catch (...) {
            co_return false;
        }
    };
    return QCoro::waitFor(attempt(store, email, password));
}

inline void clickButton(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

inline SeedUser seed(const QString &email, const QString &password, const QString &handle,
                     const QString &displayName)
{
    SeedUser user;
    user.email = email;
    user.password = password;
    user.handle = handle;
    user.displayName = displayName;
    return user;
}

class NoBadge final : public LauncherBadge
{
public:
    void setCount(qint64) override { }
};
