#pragma once

#include <QObject>
#include <QStringList>

// Which of the user's files cannot be saved at the moment. While one cannot, the window shows a
// lasting line naming it, from start-up on, until a save lands: quitting meanwhile would lose
// what it holds (an unsaved session means signing in again at the next start).
class SaveFailures : public QObject
{
    Q_OBJECT
public:
    enum class File {
        // The session: neither the keychain nor the fallback file took it. In the local-file
        // mode the store document, which holds the session there.
        session,
        // The settings file: the blocked users, the hidden rooms, the notification switches.
        settings,
    };

    using QObject::QObject;

    // The line shown while `file` cannot be saved.
    static QString text(File file);

    bool failing(File file) const;
    bool any() const { return m_failing[0] || m_failing[1]; }
    // The lines of the files that cannot be saved, the session's first; one line each.
    QStringList texts() const;

    // Emits changed() only on a change.
    void setFailing(File file, bool failing);

signals:
    void changed();

private:
    bool m_failing[2] = {false, false};
};
