#pragma once

#include "service/StandInService.h"

#include <QObject>
#include <QString>
#include <QTimer>

class ServiceState;

// The file that keeps the service's state across restarts: read once when opened, written
// whole and atomically a moment after a change (a burst of changes makes one write) and once
// more when it closes.
class ServiceDataFile : public QObject
{
    Q_OBJECT
public:
    static constexpr int writeDelayMs = 200;

    ServiceDataFile(ServiceState &state, const QString &path, QObject *parent = nullptr);
    ~ServiceDataFile() override; // writes a change still waiting

    // Reads the file into the state. A file that cannot be read is moved aside, never written
    // over; when even that fails, nothing is written to the path at all.
    DataFileStatus open();
    void changed();
    bool writeNow();

private:
    ServiceState &m_state;
    QString m_path;
    QTimer m_timer;
    bool m_writable = false;
    bool m_pending = false;
};
