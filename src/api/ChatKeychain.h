#pragma once

#include <QByteArray>
#include <QString>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>

struct ChatKeychainState;

// Keeps the session bytes between launches: one keychain item (replaced whole: delete, then
// write), or, when the keychain refuses the write, the file "session.bin" in the data folder.
// Operations run one at a time, in the order they were asked for.
//
// A session that neither the keychain nor the file takes is tried again every 30 s, and with
// the bytes of the next save, until one lands; onFailingChanged tells when such a stretch begins
// and when it ends. A file that cannot be read as a session is moved aside
// ("session.bin.unreadable-<time>"), kept for a person to look at, and counts as no session.
//
// Every running operation holds the shared state it works on, so an operation still waiting for
// the keychain when its ChatKeychain is destroyed finishes on that state (and the ones queued
// behind it run in turn) without touching the destroyed object.
class ChatKeychain
{
public:
    // `accepts` tells whether bytes read from the file are a session; none takes any.
    ChatKeychain(QString service, QString account, QString folder,
                 std::function<bool(const QByteArray &)> accepts = {});
    ~ChatKeychain();

    // The file is read up to this size; a larger one is not a session.
    static constexpr qint64 maxFileBytes = 64 * 1024;

    // Keychain, else the file. A successful keychain write removes any older file.
    QCoro::Task<> save(QByteArray bytes);
    // The keychain item, or only when there is none, the file. Copies of the file that an
    // interrupted write left behind are removed first.
    QCoro::Task<std::optional<QByteArray>> read();
    // Removes the item, the file and any copies of it left by an interrupted write, and drops
    // a session still waiting to be saved.
    QCoro::Task<> clear();

    QString filePath() const;

    // True at the first failed save after one that landed (or after the start): the session is
    // then kept nowhere. False when a save lands again or a clear leaves nothing to save.
    std::function<void(bool failing)> onFailingChanged;

private:
    std::shared_ptr<ChatKeychainState> m_state;
};
