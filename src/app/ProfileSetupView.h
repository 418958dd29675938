#pragma once

#include "app/AuthForm.h"

#include <QByteArray>

#include <optional>

enum class ProfileSaveError;
class AvatarView;
class LocalStore;
class QLineEdit;
class QPushButton;

// The first profile of a new account: display name, handle and an optional photo. Shown while
// the signed-in profile is incomplete; saving it completes the profile and the root view moves
// on to the workspace.
class ProfileSetupView : public AuthForm
{
    Q_OBJECT
public:
    static constexpr int avatarSide = 512;

    explicit ProfileSetupView(LocalStore *store, QWidget *parent = nullptr);

    std::optional<QByteArray> photo() const { return m_photo; }

private:
    void submit();
    void saved(const std::optional<std::optional<ProfileSaveError>> &outcome);
    void pickPhoto();
    void updateAvatar();
    void updateButton();

    LocalStore *m_store;
    AvatarView *m_avatar;
    QPushButton *m_pick;
    QPushButton *m_clearPhoto;
    QLineEdit *m_name;
    QLineEdit *m_handle;
    std::optional<QByteArray> m_photo;
};
