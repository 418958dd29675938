#pragma once

#include <QByteArray>
#include <QString>

#include <QCoroTask>

#include <memory>
#include <optional>

struct ChatKeychainState;

// Keeps the session bytes between launches: one keychain item (replaced whole: delete, then
// write), or, when the keychain refuses the write, the file "session.bin" in the data folder.
// Operations run one at a time, in the order they were asked for.
//
// Every running operation holds the shared state it works on, so an operation still waiting for
// the keychain when its ChatKeychain is destroyed finishes on that state (and the ones queued
// behind it run in turn) without touching the destroyed object.
class ChatKeychain
{
public:
    ChatKeychain(QString service, QString account, QString folder);
    ~ChatKeychain();

    // Keychain, else the file. A successful keychain write removes any older file.
    QCoro::Task<> save(QByteArray bytes);
    // The keychain item, or only when there is none, the whole file. Copies of the file that
    // an interrupted write left behind are removed first.
    QCoro::Task<std::optional<QByteArray>> read();
    // Removes the item, the file and any copies of it left by an interrupted write.
    QCoro::Task<> clear();

    QString filePath() const;

private:
    std::shared_ptr<ChatKeychainState> m_state;
};
