#pragma once

#include <QAbstractButton>
#include <QUuid>
#include <QWidget>

class LocalStore;
class QToolButton;

// The room's title as one button: the title in the headline font with "공식" after an official
// account's name, and under it the typing text or a group's member count. Pressing it opens
// the room's information.
class RoomTitleButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit RoomTitleButton(QWidget *parent = nullptr);

    void setLines(const QString &title, bool official, const QString &subtitle);
    QString title() const { return m_title; }
    bool official() const { return m_official; }
    QString subtitle() const { return m_subtitle; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QString m_title;
    bool m_official = false;
    QString m_subtitle;
    bool m_focusRing = false;
};

// The header row of a room: the title button and, while the room exists, the mute switch.
class RoomHeader : public QWidget
{
    Q_OBJECT
public:
    RoomHeader(LocalStore &store, const QUuid &conversationId, QWidget *parent = nullptr);

    // Reads the room again from the store.
    void refresh();

    RoomTitleButton *titleButton() const { return m_title; }
    QToolButton *muteButton() const { return m_mute; }

    static QString infoHint() { return QStringLiteral("대화 정보"); }

private:
    LocalStore &m_store;
    QUuid m_conversationId;
    RoomTitleButton *m_title;
    QToolButton *m_mute;
};
