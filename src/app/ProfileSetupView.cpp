#include "app/ProfileSetupView.h"

#include "app/FormLimits.h"
#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/AvatarView.h"
#include "ui/common/FieldLimits.h"
#include "ui/common/ImageFile.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString errorText(ProfileSaveError error)
{
    switch (error) {
    case ProfileSaveError::invalidName:
        return kCheckNameText;
    case ProfileSaveError::invalidHandle:
        return kHandleRuleText;
    case ProfileSaveError::handleTaken:
        break;
    }
    return QStringLiteral("이미 사용 중인 아이디입니다.");
}

} // namespace

ProfileSetupView::ProfileSetupView(LocalStore *store, QWidget *parent)
    : AuthForm(QStringLiteral("프로필 만들기"), parent)
    , m_store(store)
{
    addText(QStringLiteral("친구들에게 보일 이름과 아이디를 정하세요."))
        ->setAlignment(Qt::AlignHCenter);

    m_avatar = new AvatarView(88);
    m_avatar->setObjectName(QStringLiteral("avatar"));
    addWidget(m_avatar, Qt::AlignHCenter);
    auto *photoRow = new QWidget;
    auto *row = new QHBoxLayout(photoRow);
    row->setContentsMargins(0, 0, 0, 0);
    m_pick = new QPushButton(QStringLiteral("사진 선택"), photoRow);
    m_pick->setObjectName(QStringLiteral("pickPhoto"));
    m_clearPhoto = new QPushButton(QStringLiteral("사진 지우기"), photoRow);
    m_clearPhoto->setObjectName(QStringLiteral("clearPhoto"));
    for (QPushButton *photoButton : {m_pick, m_clearPhoto})
        photoButton->setMinimumHeight(UiMetrics::controlHeight);
    row->addStretch(1);
    row->addWidget(m_pick);
    row->addWidget(m_clearPhoto);
    row->addStretch(1);
    addWidget(photoRow);

    m_name = addField(QStringLiteral("이름 (20자까지)"), QStringLiteral("name"));
    FieldLimits::limitToGraphemes(m_name, TextLimit::displayName);
    m_handle
        = addField(QStringLiteral("아이디 (영문 소문자, 숫자, 밑줄)"), QStringLiteral("handle"));
    auto *button = addPrimary(QStringLiteral("시작하기"), QStringLiteral("saveProfile"));
    connect(addLink(QStringLiteral("다른 계정으로 로그인"), QStringLiteral("cancelSignup")),
            &QPushButton::clicked, this, [this] { m_store->cancelSignup(); });

    connect(m_pick, &QPushButton::clicked, this, &ProfileSetupView::pickPhoto);
    connect(m_clearPhoto, &QPushButton::clicked, this, [this] {
        m_photo.reset();
        updateAvatar();
    });
    connect(m_name, &QLineEdit::textChanged, this, [this] {
        updateAvatar();
        updateButton();
    });
    connect(m_handle, &QLineEdit::textChanged, this, &ProfileSetupView::updateButton);
    connect(m_name, &QLineEdit::returnPressed, m_handle, qOverload<>(&QWidget::setFocus));
    connect(m_handle, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(button, &QAbstractButton::clicked, this, [this] { submit(); });

    // A returning user whose profile is incomplete may already have a name or handle.
    if (const auto me = m_store->me()) {
        m_name->setText(firstGraphemes(me->displayName, TextLimit::displayName));
        m_handle->setText(me->handle);
        if (me->avatarJPEG && !me->avatarJPEG->isEmpty())
            m_photo = me->avatarJPEG;
    }
    updateAvatar();
    updateButton();
}

void ProfileSetupView::pickPhoto()
{
    // The dialog belongs to this screen: when the session ends and the screen goes, so does
    // the dialog, and the answer never arrives.
    ImageFile::pick(this, avatarSide, [this](std::optional<QByteArray> jpeg) {
        if (!jpeg)
            return;
        m_photo = std::move(jpeg);
        updateAvatar();
    });
}

void ProfileSetupView::updateAvatar()
{
    const QString name = m_name->text().trimmed();
    m_avatar->setAvatar(name.isEmpty() ? QStringLiteral("?") : name, m_photo, std::nullopt);
    m_clearPhoto->setVisible(m_photo.has_value());
}

void ProfileSetupView::updateButton()
{
    primaryButton()->setDisabled(m_name->text().trimmed().isEmpty()
                                 || m_handle->text().trimmed().isEmpty());
}

void ProfileSetupView::submit()
{
    // Success completes the profile and the root view replaces this screen.
    showError(std::nullopt);
    setBusy(true);
    StoreTask::whenDone(m_store->saveProfile(m_name->text(), m_handle->text(), m_photo), this,
                        [this, running = std::make_shared<Running>()](
                            const std::optional<std::optional<ProfileSaveError>> &outcome) {
                            setBusy(false);
                            saved(outcome);
                        });
}

void ProfileSetupView::saved(const std::optional<std::optional<ProfileSaveError>> &outcome)
{
    // No outcome: the save failed without a text of its own.
    const bool failed = !outcome;
    const std::optional<ProfileSaveError> error = outcome.value_or(std::nullopt);
    LocalStore *store = m_store;
    std::optional<QString> shown;
    if (error) {
        shown = errorText(*error);
    } else if (failed) {
        shown = kTemporaryErrorText;
    } else if (const auto session = store->session(); session && !session->profileComplete) {
        // A failure of the service was shown as the notice and reported as no error.
        shown = store->notice().value_or(kTemporaryErrorText);
    }
    if (!shown)
        return;
    showError(shown);
    // The service's refusals come as their text: only the name has one of its own.
    returnFocusTo(*shown == errorText(ProfileSaveError::invalidName) ? m_name : m_handle);
}
