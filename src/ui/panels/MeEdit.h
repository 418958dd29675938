#pragma once

#include "ui/panels/PageBase.h"

#include <QByteArray>

#include <optional>

class AvatarView;
class LocalStore;
class QLabel;
class QLineEdit;
class QPushButton;
class StoreRedraw;

// Editing one's own photo, display name and handle. The page keeps its own copy of the three,
// filled once from the signed-in account when it is first shown, cuts the name and the handle
// as the user types, and saves them with one store operation ("완료"). The handle can be
// changed only once; after that its field is locked.
class MeEdit : public PageBase
{
    Q_OBJECT
public:
    explicit MeEdit(LocalStore &store, QWidget *parent = nullptr);

    static QString handleOnceText() { return QStringLiteral("아이디는 한 번만 바꿀 수 있습니다."); }
    static QString takenText() { return QStringLiteral("이미 사용 중입니다."); }

    std::optional<QByteArray> photo() const { return m_photo; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *photoSection();
    QWidget *handleSection();
    bool canFinish() const;
    void pickPhoto(bool emptyOnCancel);
    void edited();
    void save();
    void refresh();

    LocalStore &m_store;
    std::optional<QByteArray> m_photo;
    bool m_saving = false;
    bool m_ready = false;
    // The notice that the last save raised, kept by the page: the workspace's banner takes the
    // store's notice away at once. Shown until the next edit or save.
    std::optional<QString> m_refusal;

    AvatarView *m_avatar;
    QLineEdit *m_name;
    QLineEdit *m_handle;
    QLabel *m_handleOnce;
    QLabel *m_format;
    QLabel *m_takenLine;
    QLabel *m_notice;
    QPushButton *m_done;
    StoreRedraw *m_redraw;
};
