#include "service/ServiceDataFile.h"

#include "service/ServiceState.h"

#include "files/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>

ServiceDataFile::ServiceDataFile(ServiceState &state, const QString &path, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_path(QFileInfo(path).absoluteFilePath())
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(writeDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &ServiceDataFile::writeNow);
}

ServiceDataFile::~ServiceDataFile()
{
    if (m_pending)
        writeNow();
}

DataFileStatus ServiceDataFile::open()
{
    QFile file(m_path);
    if (!file.exists()) {
        m_writable = true;
        return {
            DataFileStatus::New,
            {},
            QStringLiteral("data file %1 is new: it is written at the first change").arg(m_path)};
    }
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError)
            problem = QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset);
        else if (!document.isObject())
            problem = QStringLiteral("not a JSON object");
        else
            m_state.restore(document.object(), &problem);
    }
    file.close();
    if (problem.isEmpty()) {
        m_writable = true;
        return {DataFileStatus::Read,
                {},
                QStringLiteral("data file %1: %2 accounts, %3 rooms")
                    .arg(m_path)
                    .arg(m_state.users.size())
                    .arg(m_state.rooms.size())};
    }

    // Whatever is in it stays for a person to look at; the service starts empty beside it.
    const QString aside = PrivateFile::moveAside(m_path);
    if (!aside.isEmpty()) {
        m_writable = true;
        return {DataFileStatus::SetAside, aside,
                QStringLiteral("cannot read data file %1 (%2): moved it to %3 and started empty")
                    .arg(m_path, problem, aside)};
    }
    return {DataFileStatus::Unusable,
            {},
            QStringLiteral("cannot read data file %1 (%2) nor move it aside: started empty, "
                           "nothing is kept after the service stops and the file is left as it is")
                .arg(m_path, problem)};
}

void ServiceDataFile::changed()
{
    if (!m_writable)
        return;
    m_pending = true;
    if (!m_timer.isActive())
        m_timer.start();
}

bool ServiceDataFile::writeNow()
{
    m_timer.stop();
    if (!m_writable)
        return false;
    // Passwords and tokens are inside: the file is the owner's alone, and so is a folder made
    // for it. A folder that was there already was the user's choice and keeps its rights.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QFileInfo(folder).isDir() && QDir().mkpath(folder))
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QString error;
    const bool written = PrivateFile::write(
        m_path, QJsonDocument(m_state.saved()).toJson(QJsonDocument::Indented), &error);
    if (!written) {
        // Stays pending: the next change or the end of the service tries again.
        qWarning("zumo-service: %s", qPrintable(error));
        return false;
    }
    m_pending = false;
    return true;
}
