#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <optional>

class AvatarView;
class ElidedLabel;
class OfficialMark;

// A person at a glance: a 56-pixel avatar, the name (followed by "공식" for an official
// account) and, below it, "@" and the handle when there is one. Used as the label of buttons
// and list rows; it takes no clicks of its own. In a narrow column the name and the handle end
// in "…" while the mark and the handle's line stay; the label never widens its column.
class PersonLabel : public QWidget
{
    Q_OBJECT
public:
    explicit PersonLabel(QWidget *parent = nullptr);
    PersonLabel(const QString &name, const QString &handle, const std::optional<QByteArray> &jpeg,
                const std::optional<QString> &remoteURL, bool official, QWidget *parent = nullptr);

    void setPerson(const QString &name, const QString &handle,
                   const std::optional<QByteArray> &jpeg, const std::optional<QString> &remoteURL,
                   bool official);

    // The person as one line for screen readers: the name, the official mark, the handle.
    static QString spokenText(const QString &name, const QString &handle, bool official);

    QString nameText() const;
    // "@handle", or empty when the handle is.
    QString handleText() const;
    bool isOfficial() const;

private:
    AvatarView *m_avatar;
    ElidedLabel *m_name;
    OfficialMark *m_mark;
    ElidedLabel *m_handle;
};
