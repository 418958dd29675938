#include "api/ChatKeychain.h"

#include "api/AsyncPrimitives.h"
#include "files/LogCategories.h"
#include "files/PrivateFile.h"
#include "files/SaveRetry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

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
    ChatKeychainState(QString service, QString account, QString folder,
                      std::function<bool(const QByteArray &)> accepts)
        : service(std::move(service))
        , account(std::move(account))
        , folder(std::move(folder))
        , accepts(std::move(accepts))
    { }

    QString filePath() const { return QDir(folder).filePath(kFileName); }

    const QString service;
    const QString account;
    const QString folder;
    const std::function<bool(const QByteArray &)> accepts;
    QObject context;
    AsyncQueueLock lock{&context};
    // The newest session while no save of it has landed.
    std::optional<QByteArray> unsaved;
    SaveRetry retry{QStringLiteral("the session"), lcKeychain()};
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

bool writeFile(const ChatKeychainState &state, const QByteArray &bytes, QString *problem)
{
    // The file holds the tokens in plain text: its folder is for the user alone, also when it
    // existed before, and so is the file.
    if (!PrivateFile::prepareFolder(state.folder)) {
        *problem = QStringLiteral("no folder %1").arg(state.folder);
        return false;
    }
    return PrivateFile::write(state.filePath(), bytes, problem);
}

// Anything in the file's place that is not a session (a file too large, unreadable or with
// other contents, a folder) goes aside, so that it is neither taken for one nor written over.
std::optional<QByteArray> readFile(const ChatKeychainState &state)
{
    const QString path = state.filePath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    std::optional<QByteArray> session;
    QFile file(path);
    if (info.isFile() && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.read(ChatKeychain::maxFileBytes + 1);
        if (file.error() == QFileDevice::NoError && bytes.size() <= ChatKeychain::maxFileBytes
            && (!state.accepts || state.accepts(bytes)))
            session = bytes;
    }
    file.close();
    if (!session) {
        const QString aside = PrivateFile::moveAside(path);
        qCWarning(lcKeychain, "%s is no session: %s", qPrintable(path),
                  aside.isEmpty() ? "it could not be moved aside"
                                  : qPrintable(QStringLiteral("moved it to ") + aside));
    }
    return session;
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

QCoro::Task<> storeLocked(State state, QByteArray bytes)
{
    bool saved = co_await writeKeychain(state, bytes);
    QString problem;
    if (saved) {
        removeFile(*state);
    } else {
        qCInfo(lcKeychain, "the keychain took no session: keeping it in %s",
               qPrintable(state->filePath()));
        saved = writeFile(*state, bytes, &problem);
    }
    if (saved)
        state->unsaved.reset();
    else
        state->unsaved = bytes;
    state->retry.report(saved,
                        QStringLiteral("neither the keychain nor the file took it: ") + problem);
}

QCoro::Task<> saveWith(State state, QByteArray bytes)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    co_await storeLocked(state, std::move(bytes));
}

// Takes the session still unsaved when its turn comes, not when it was asked for: a save queued
// before it has then landed or left a newer session.
QCoro::Task<> retryWith(State state)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    if (state->unsaved)
        co_await storeLocked(state, *state->unsaved);
}

QCoro::Task<std::optional<QByteArray>> readWith(State state)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    removeStaleCopies(*state);
    if (auto stored = co_await readKeychain(state))
        co_return stored;
    qCDebug(lcKeychain, "no session in the keychain: reading %s", qPrintable(state->filePath()));
    co_return readFile(*state);
}

QCoro::Task<> clearWith(State state)
{
    co_await state->lock.acquire();
    AsyncQueueLock::Guard guard(&state->lock);
    state->unsaved.reset();
    state->retry.reset();
    co_await deleteKeychain(state);
    removeFile(*state);
}

} // namespace

ChatKeychain::ChatKeychain(QString service, QString account, QString folder,
                           std::function<bool(const QByteArray &)> accepts)
    : m_state(std::make_shared<ChatKeychainState>(std::move(service), std::move(account),
                                                  std::move(folder), std::move(accepts)))
{
    m_state->retry.retry = [weak = std::weak_ptr<ChatKeychainState>(m_state)] {
        if (const State state = weak.lock())
            retryWith(state);
    };
    m_state->retry.onFailingChanged = [this](bool failing) {
        if (onFailingChanged)
            onFailingChanged(failing);
    };
}

ChatKeychain::~ChatKeychain()
{
    // Operations still running finish on the state; they try no more and tell nobody (the
    // callbacks go first: stopping the tries would otherwise tell that the failing ended).
    m_state->retry.retry = nullptr;
    m_state->retry.onFailingChanged = nullptr;
    m_state->retry.reset();
}

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
