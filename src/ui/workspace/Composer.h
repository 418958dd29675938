#pragma once

#include "store/LocalStore.h"

#include <QWidget>

class ComposerField;
class RoomState;
class QLabel;
class QLayout;
class QToolButton;

// The bottom strip of a room: the one-line notice while the room cannot be written to, else
// the reply bar, the attached photo and the input row (photo, text field, send). It works on
// the room pane's state: the draft, the attached photo and the message being answered.
class Composer : public QWidget
{
    Q_OBJECT
public:
    Composer(LocalStore &store, RoomState &room, QWidget *parent = nullptr);

    // A photo is attached, or the draft holds more than white space.
    bool canSend() const;
    // Sends the photo (with the draft as its caption) or the text, then empties the composer.
    void send();

    // The notice for a room that cannot be written to.
    static QString blockText(ComposeBlock block);

    ComposerField *field() const { return m_field; }
    // Gives the message field the keyboard, when the room may be written to.
    void takeKeyboard();
    // The notice shown instead of the editor; empty while the editor shows.
    QString notice() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The answered message and "취소", the attached photo and "제거", the field and its buttons.
    QWidget *replyBar();
    QWidget *photoBar();
    QLayout *inputRow();
    void followBlock();
    void followDraft();
    void followImage();
    void followReply();
    void pickPhoto();
    void submit();

    LocalStore &m_store;
    RoomState &m_room;
    QLabel *m_notice;
    QWidget *m_editor;
    QWidget *m_replyBar;
    class ComposerLine *m_replyPreview;
    QWidget *m_photoBar;
    class ComposerPhoto *m_photo;
    ComposerField *m_field;
    QToolButton *m_photoButton;
    QToolButton *m_sendButton;
};
