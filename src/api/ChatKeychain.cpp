#include "api/ChatKeychain.h"

#include "api/AsyncPrimitives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>

#include <QCoroSignal>
#include <qt6keychain/keychain.h>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr auto kJobTimeout = 30s;

const QString kFileName = QStringLiteral("session.bin");

template<typename JobType>
JobType *makeJob(const QString &service, const QString &account)
{
    // Deleted by finishJob(): QCoro resumes the waiter through a queued call whose context is
    // the job, so the job must outlive its finished signal until the waiter has read it.
    auto *job = new JobType(service);
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    job->setKey(account);
    return job;
}

void finishJob(QKeychain::Job *job, bool finished)
{
    if (finished)
        job->deleteLater();
    else
        job->setAutoDelete(true); // still running: it deletes itself when it ends
}

} // namespace

struct ChatKeychainState
{
    ChatKeychainState(QString service, QString account, QString folder)
        : service(std::move(service))
        , account(std::move(account))
        , folder(std::move(folder))
    { }

    QString filePath() const { return QDir(folder).filePath(kFileName); }

    const QString service;
    const QString account;
    const QString folder;
    QObject context;
    AsyncQueueLock lock{&context};
};

namespace {

using State = std::shared_ptr<ChatKeychainState>;

// The operations take the state by value: their coroutine frames keep it alive.

QCoro::Task<> deleteKeychain(State state)
{
    auto *job = makeJob<QKeychain::DeletePasswordJob>(state->service, state->account);
    job->start();
    // A missing item is fine; the result is not examined.
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    finishJob(job, finished.has_value());
}

QCoro::Task<bool> writeKeychain(State state, QByteArray bytes)
{
    co_await deleteKeychain(state);

    auto *job = makeJob<QKeychain::WritePasswordJob>(state->service, state->account);
    job->setBinaryData(bytes);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    const bool stored = finished && job->error() == QKeychain::NoError;
    finishJob(job, finished.has_value());
    co_return stored;
}

QCoro::Task<std::optional<QByteArray>> readKeychain(State state)
{
    auto *job = makeJob<QKeychain::ReadPasswordJob>(state->service, state->account);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    std::optional<QByteArray> result;
    if (finished && job->error() == QKeychain::NoError)
        result = job->binaryData();
    finishJob(job, finished.has_value());
    co_return result;
}

void writeFile(const ChatKeychainState &state, const QByteArray &bytes)
{
    // The file holds the tokens in plain text: its folder is for the user alone, also when it
    // existed before, and so is the file. Errors are ignored.
    if (!QDir().mkpath(state.folder))
        return;
    QFile::setPermissions(state.folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(state.filePath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

// QSaveFile writes "session.bin.XXXXXX" beside the file and renames it on commit: a program
// killed in between leaves that copy, which holds the whole session. No write of ours is under
// way while an operation holds the lock, so any such copy is stale.
void removeStaleCopies(const ChatKeychainState &state)
{
    QDir folder(state.folder);
    const QStringList copies = folder.entryList({kFileName + QStringLiteral(".??????")},
                                                QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : copies)
        folder.remove(name);
}

void removeFile(const ChatKeychainState &state)
{
    QFile::remove(state.filePath());
    removeStaleCopies(state);
}

QCoro::Task<> saveWith(State state, QByteArray bytes)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    if (co_await writeKeychain(state, bytes))
        removeFile(*state);
    else
        writeFile(*state, bytes);
}

QCoro::Task<std::optional<QByteArray>> readWith(State state)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    removeStaleCopies(*state);
    if (auto stored = co_await readKeychain(state))
        co_return stored;
    QFile file(state->filePath());
    if (!file.open(QIODevice::ReadOnly))
        co_return std::nullopt;
    co_return file.readAll();
}

QCoro::Task<> clearWith(State state)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    co_await deleteKeychain(state);
    removeFile(*state);
}

} // namespace

ChatKeychain::ChatKeychain(QString service, QString account, QString folder)
    : m_state(std::make_shared<ChatKeychainState>(std::move(service), std::move(account),
                                                  std::move(folder)))
{ }

ChatKeychain::~ChatKeychain() = default;

QString ChatKeychain::filePath() const
{
    return m_state->filePath();
}

QCoro::Task<> ChatKeychain::save(QByteArray bytes)
{
    return saveWith(m_state, std::move(bytes));
}

QCoro::Task<std::optional<QByteArray>> ChatKeychain::read()
{
    return readWith(m_state);
}

QCoro::Task<> ChatKeychain::clear()
{
    return clearWith(m_state);
}
