#pragma once

#include <QPlainTextEdit>

#include <optional>

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
    QString draft() const { return toPlainText(); }

    // The height the text asks for, within 36..120.
    int idealHeight() const;

    // Takes a syllable that an input method is still composing into the text, as typed, before
    // a send reads the draft. The engine is reset so that it does not go on composing it; the
    // copy of the syllable that some engines commit on that reset is dropped when it comes.
    void finishComposition();
    // The text an input method is composing, not yet part of the draft.
    QString composing() const { return m_preedit; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void edited(const QString &text);
    void submitted();
    void focused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The height of the laid-out text, counted no further than the tallest field.
    int textHeight() const;
    void fitHeight();

    bool m_settingDraft = false;
    QString m_preedit;
    std::optional<QString> m_lateCommit; // a syllable already taken by finishComposition()
};
