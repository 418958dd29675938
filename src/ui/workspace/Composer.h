#pragma once

#include "store/LocalStore.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <optional>

class RoomState;
class QLabel;
class QLayout;
class QToolButton;

// The composer's text field. Return submits and Shift-Return starts a new line; Tab and
// Shift-Tab move the focus on. Only the user's own edits are reported (edited()), never a text set
// by the program (setDraft()). The field grows with its text from one line (36) to 120, after
// which it scrolls.
class ComposerField : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int shortest = 36;
    static constexpr int tallest = 120;

    explicit ComposerField(QWidget *parent = nullptr);

    // Puts the program's text into the field, unless it already shows exactly that.
    void setDraft(const QString &text);

    // Takes a syllable that an input method is still composing into the text, as typed, before
    // a send reads the draft. The engine is reset so that it does not go on composing it; the
    // copy of the syllable that some engines commit on that reset is dropped when it comes.
    void finishComposition();
    // The text an input method is composing, not yet part of the draft.
    QString composing() const { return m_preedit; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, shortest}; }

signals:
    void edited(const QString &text);
    void submitted();
    void focused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The height of the laid-out text, counted no further than the tallest field.
    int textHeight() const;
    void fitHeight();

    bool m_settingDraft = false;
    QString m_preedit;
    std::optional<QString> m_lateCommit; // a syllable already taken by finishComposition()
};

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
    void followContent();
    void followReply();
    void pickPhoto();
    // Sends the photo (with the draft as its caption) or the text, then empties the composer.
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
    QToolButton *m_sendButton;
};
