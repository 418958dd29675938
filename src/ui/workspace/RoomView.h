#pragma once

#include "model/HandOver.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/RoomState.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QUuid>
#include <QWidget>

class LocalStore;
class Navigation;
class TranscriptView;
class QVBoxLayout;
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
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QString m_title;
    bool m_official = false;
    QString m_subtitle;
    bool m_focusRing = false; // the focus came from the keyboard
};

// One open room: the header row (the title button and, while the room exists, the mute switch),
// a divider, and under them the loading view while the store does
// not have the room yet, else the transcript with the composer, or the room's information panel
// while the navigation asks for it. The pane's own state lives as long as the pane (one room).
// What the pane opens or closes beyond itself it asks the workspace for, by its signals.
class RoomView : public QWidget
{
    Q_OBJECT
public:
    enum class Content { none, loading, transcript, info };

    RoomView(LocalStore &store, const Navigation &navigation, const QUuid &conversationId,
             QWidget *parent = nullptr);

    QUuid conversationId() const { return m_state->conversationId(); }
    // Gives the message field the keyboard, now or as soon as the transcript shows.
    void takeKeyboard();
    RoomState &state() { return *m_state; }
    RoomTitleButton *titleButton() const { return m_title; }
    QToolButton *muteButton() const { return m_mute; }
    Content content() const { return m_shown; }
    Composer *composer() const { return m_composer; }
    QMessageBox *deleteDialog() const { return m_deleteDialog; }

    static QString loadingText() { return QStringLiteral("대화를 불러오는 중"); }

    ~RoomView() override;

signals:
    // The title opens the information panel; the panel's own close shuts it.
    void roomInfoRequested(bool shown);
    void profileRequested(const QUuid &userId);
    // The user left the room from its information panel.
    void left();
    void reportRequested(const ReportDraft &draft);
    void mediaRequested(const QUuid &messageId);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void disappeared();
    void refresh();
    void present(Content content);
    // The header row: the title button and the mute switch.
    QWidget *createHeader();
    QWidget *createLoading();
    QWidget *createTranscript();
    QWidget *createInfoPanel();
    void followDeleteTarget();

    LocalStore &m_store;
    const Navigation &m_navigation;
    RoomState *m_state;
    RoomTitleButton *m_title;
    QToolButton *m_mute;
    QVBoxLayout *m_layout;
    Content m_shown = Content::none;
    bool m_onScreen = false;
    bool m_left = false; // the navigation has moved on to another page; this pane is going
    bool m_writePending = false;
    QPointer<QWidget> m_content;
    QPointer<Composer> m_composer;
    QPointer<QMessageBox> m_deleteDialog;
    QUuid m_deleteAsked; // the message the open dialog asks about
};
