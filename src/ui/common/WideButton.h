#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTimer>

// The full-width prominent button of forms and pages, at least 44 pixels high. While busy its
// title is hidden under a spinning progress indicator. It cannot be pressed while disabled or
// busy (neither by mouse, keyboard nor click()). Its action is the clicked() signal.
//
// The caller's enabled state (setDisabled(), setEnabled(), or QWidget's own through a base
// pointer) is kept apart from busy: the button is enabled exactly when the caller has it enabled
// and it is not busy, so the end of a busy spell never enables a button the caller disabled.
class WideButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class Role { Normal, Destructive };

    explicit WideButton(const QString &title = {}, Role role = Role::Normal,
                        QWidget *parent = nullptr);

    void setTitle(const QString &title) { setText(title); }
    QString title() const { return text(); }

    Role role() const { return m_role; }

    void setDisabled(bool disabled);
    void setEnabled(bool enabled) { setDisabled(!enabled); }
    // The caller's state, whether busy or not.
    bool isDisabled() const { return m_disabled; }

    void setBusy(bool busy);
    bool isBusy() const { return m_busy; }

    // What the body and the title are painted in: the highlight (or, destructive, the alert
    // red) dark enough for white text, faded towards the window while disabled, with a title
    // that still reads there.
    QColor fillColour() const;
    QColor textColour() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyState();
    void updateSpinner();

    Role m_role;
    bool m_disabled = false;
    bool m_busy = false;
    bool m_applying = false;
    QTimer m_spin;
    QElapsedTimer m_spinClock;
};
