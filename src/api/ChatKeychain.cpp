#include "api/ChatKeychain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <QCoroSignal>
#include <qt6keychain/keychain.h>

#include <chrono>

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

ChatKeychain::ChatKeychain(QString service, QString account, QString folder)
    : m_service(std::move(service))
    , m_account(std::move(account))
    , m_folder(std::move(folder))
{ }

QString ChatKeychain::filePath() const
{
    return QDir(m_folder).filePath(kFileName);
}

QCoro::Task<> ChatKeychain::save(QByteArray bytes)
{
    co_await m_lock.acquire();
    AsyncQueueLock::Guard guard(&m_lock);
    if (co_await writeKeychain(bytes))
        removeFile();
    else
        writeFile(bytes);
}

QCoro::Task<std::optional<QByteArray>> ChatKeychain::read()
{
    co_await m_lock.acquire();
    AsyncQueueLock::Guard guard(&m_lock);
    if (auto stored = co_await readKeychain())
        co_return stored;
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        co_return std::nullopt;
    co_return file.readAll();
}

QCoro::Task<> ChatKeychain::clear()
{
    co_await m_lock.acquire();
    AsyncQueueLock::Guard guard(&m_lock);
    co_await deleteKeychain();
    removeFile();
}

QCoro::Task<bool> ChatKeychain::writeKeychain(QByteArray bytes)
{
    co_await deleteKeychain();

    auto *job = makeJob<QKeychain::WritePasswordJob>(m_service, m_account);
    job->setBinaryData(bytes);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    const bool stored = finished && job->error() == QKeychain::NoError;
    finishJob(job, finished.has_value());
    co_return stored;
}

QCoro::Task<std::optional<QByteArray>> ChatKeychain::readKeychain()
{
    auto *job = makeJob<QKeychain::ReadPasswordJob>(m_service, m_account);
    job->start();
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    std::optional<QByteArray> result;
    if (finished && job->error() == QKeychain::NoError)
        result = job->binaryData();
    finishJob(job, finished.has_value());
    co_return result;
}

QCoro::Task<> ChatKeychain::deleteKeychain()
{
    auto *job = makeJob<QKeychain::DeletePasswordJob>(m_service, m_account);
    job->start();
    // A missing item is fine; the result is not examined.
    const auto finished = co_await qCoro(job, &QKeychain::Job::finished, kJobTimeout);
    finishJob(job, finished.has_value());
}

void ChatKeychain::writeFile(const QByteArray &bytes) const
{
    // The file holds the tokens in plain text: its folder is created for the user alone and the
    // file is readable by the user alone. Errors are ignored.
    const QDir folder(m_folder);
    if (!folder.exists()) {
        if (!QDir().mkpath(m_folder))
            return;
        QFile::setPermissions(
            m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

void ChatKeychain::removeFile() const
{
    QFile::remove(filePath());
}
