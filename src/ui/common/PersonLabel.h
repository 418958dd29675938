#pragma once

#include "ui/common/PaintedMarks.h"

#include <QByteArray>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <optional>

class AvatarView;

// One line of plain text that gives way to its column: when narrower than the text, it shows
// the start of it followed by "…". Its minimum width is a few characters, so a long text never
// decides how wide the column is; its size hint is still the whole text. text() and the
// accessible name stay the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as drawn at the current width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

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

    QString nameText() const { return m_name->text(); }
    // "@handle", or empty when the handle is.
    QString handleText() const { return m_handle->text(); }
    bool isOfficial() const { return !m_mark->isHidden(); }

private:
    AvatarView *m_avatar;
    ElidedLabel *m_name;
    OfficialMark *m_mark;
    ElidedLabel *m_handle;
};
