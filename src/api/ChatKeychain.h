#pragma once

#include "api/AsyncPrimitives.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <QCoroTask>

#include <optional>

// Keeps the session bytes between launches: one keychain item (replaced whole: delete, then
// write), or, when the keychain refuses the write, the file "session.bin" in the data folder.
// Operations run one at a time, in the order they were asked for.
class ChatKeychain
{
public:
    ChatKeychain(QString service, QString account, QString folder);

    // Keychain, else the file. A successful keychain write removes any older file.
    QCoro::Task<> save(QByteArray bytes);
    // The keychain item, or only when there is none, the whole file.
    QCoro::Task<std::optional<QByteArray>> read();
    // Removes the item and the file.
    QCoro::Task<> clear();

    QString filePath() const;

private:
    QCoro::Task<bool> writeKeychain(QByteArray bytes);
    QCoro::Task<std::optional<QByteArray>> readKeychain();
    QCoro::Task<> deleteKeychain();
    void writeFile(const QByteArray &bytes) const;
    void removeFile() const;

    QString m_service;
    QString m_account;
    QString m_folder;
    QObject m_context;
    AsyncQueueLock m_lock{&m_context};
};
