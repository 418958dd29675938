// The information panel's first section: how InfoPanel builds and refreshes it.

#include "ui/panels/InfoPanel.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/AvatarView.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/ImageFile.h"
#include "ui/common/ImageShrink.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/LineLimitedText.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr int roomPhotoSize = 72;
constexpr int foldedLines = 4;
// A description longer than this many characters can be unfolded.
constexpr int foldedCharacters = 40;

// The room's photo as a round button: only the disc takes clicks.
class PhotoButton : public QAbstractButton
{
public:
    PhotoButton(AvatarView *photo, QWidget *parent)
        : QAbstractButton(parent)
    {
        photo->setParent(this);
        photo->setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedSize(photo->size());
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QStringLiteral("방 사진"));
    }

protected:
    bool hitButton(const QPoint &pos) const override
    {
        const QPointF centre = QRectF(rect()).center();
        const qreal dx = pos.x() + 0.5 - centre.x();
        const qreal dy = pos.y() + 0.5 - centre.y();
        return dx * dx + dy * dy <= (width() / 2.0) * (width() / 2.0);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRectF disc = QRectF(rect()).adjusted(1, 1, -1, -1);
        UiMetrics::paintButtonState(painter, *this, disc, UiMetrics::FocusMark::ring,
                                    disc.width() / 2);
    }
};

QPushButton *framedButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumHeight(UiMetrics::controlHeight);
    button->setMinimumWidth(96);
    return button;
}

} // namespace

// The first section of the room information panel. A group shows its photo and name: to its
// owner as the photo button, "파일", the name field "방 이름" and "저장"; to a member as the
// photo and the name. A direct room shows its peer: an official account with its description
// (folded to four lines until "더 보기") and, when it takes no messages, a note; a person as a
// button that opens the profile. An unknown peer shows nothing.
QWidget *InfoPanel::buildHeader(QWidget *parent)
{
    m_header = new QWidget(parent);
    m_header->setObjectName(QStringLiteral("roomHeader"));
    // Only one of the three shows at a time.
    auto *layout = bareBox<QVBoxLayout>(m_header);
    layout->addWidget(buildGroupHeader(m_header));
    layout->addWidget(buildOfficialHeader(m_header));

    m_person = new RowButton(m_header);
    m_person->setObjectName(QStringLiteral("peer"));
    m_personLabel = new PersonLabel;
    m_person->addPart(m_personLabel, 1);
    connect(m_person, &QAbstractButton::clicked, this, [this] {
        if (const std::optional<Account> peer = roomPeer())
            emit profileRequested(peer->id);
    });
    layout->addWidget(m_person);
    return m_header;
}

QWidget *InfoPanel::buildGroupHeader(QWidget *parent)
{
    m_group = new QWidget(parent);
    auto *column = bareBox<QVBoxLayout>(m_group, 12);
    column->setContentsMargins(0, 8, 0, 8);

    m_ownerPhoto = new AvatarView(roomPhotoSize);
    m_photoButton = new PhotoButton(m_ownerPhoto, m_group);
    m_photoButton->setObjectName(QStringLiteral("roomPhoto"));
    connect(m_photoButton, &QAbstractButton::clicked, this, &InfoPanel::pickPhoto);

    m_memberPhoto = new AvatarView(roomPhotoSize, m_group);
    m_memberTitle = PanelParts::label(QString(), QStringLiteral("roomTitle"), ChatFont::headline(),
                                      m_group, PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_memberTitle->setAlignment(Qt::AlignCenter);

    m_file = framedButton(QStringLiteral("파일"), QStringLiteral("file"), m_group);
    connect(m_file, &QPushButton::clicked, this, &InfoPanel::pickPhoto);

    m_titleField
        = PanelParts::textField(QStringLiteral("방 이름"), QStringLiteral("titleField"), m_group);
    m_titleField->setAlignment(Qt::AlignCenter);
    m_titleField->setMaximumWidth(360);
    connect(m_titleField, &QLineEdit::returnPressed, this, &InfoPanel::saveTitle);
    connect(m_titleField, &QLineEdit::textChanged, this, &InfoPanel::refreshTitleButtons);

    m_save = framedButton(QStringLiteral("저장"), QStringLiteral("save"), m_group);
    connect(m_save, &QPushButton::clicked, this, &InfoPanel::saveTitle);

    column->addWidget(m_photoButton, 0, Qt::AlignHCenter);
    column->addWidget(m_memberPhoto, 0, Qt::AlignHCenter);
    column->addWidget(m_memberTitle);
    column->addWidget(m_file, 0, Qt::AlignHCenter);
    // As wide as the column allows up to its maximum, centred.
    auto *field = new QHBoxLayout;
    field->addStretch(1);
    field->addWidget(m_titleField, 10);
    field->addStretch(1);
    column->addLayout(field);
    column->addWidget(m_save, 0, Qt::AlignHCenter);
    return m_group;
}

QWidget *InfoPanel::buildOfficialHeader(QWidget *parent)
{
    m_official = new QWidget(parent);
    auto *column = bareBox<QVBoxLayout>(m_official, 8);
    column->setContentsMargins(0, 8, 0, 8);

    auto *row = bareBox<QHBoxLayout>(nullptr, 12);
    m_officialPhoto = new AvatarView(UiMetrics::avatarSize, m_official);
    m_officialName = PanelParts::label(QString(), QStringLiteral("officialName"),
                                       ChatFont::headline(), m_official);
    row->addWidget(m_officialPhoto);
    row->addWidget(m_officialName);
    row->addWidget(new OfficialMark(m_official));
    row->addStretch(1);
    column->addLayout(row);

    m_bio = new LineLimitedText(m_official);
    m_bio->setObjectName(QStringLiteral("bio"));
    m_bio->setFont(ChatFont::subheadline());
    column->addWidget(m_bio);

    // Its text flush with the description's.
    m_more = PanelParts::plainButton(QStringLiteral("더 보기"), m_official, Qt::AlignLeft,
                                     QStringLiteral("more"));
    m_more->setFont(ChatFont::footnote());
    connect(m_more, &QPushButton::clicked, this, [this] {
        m_expanded = true;
        refresh();
    });
    // The button keeps room for its focus ring; the outset puts its text on the column's edge.
    QBoxLayout *moreRow = PanelParts::outsetLayout(Qt::Horizontal, PanelParts::buttonInset, 0);
    moreRow->addWidget(m_more, 0, Qt::AlignLeft);
    moreRow->addStretch(1);
    column->addLayout(moreRow);

    m_closedNote
        = PanelParts::label(kClosedInboxText, QStringLiteral("closedNote"), ChatFont::subheadline(),
                            m_official, PanelParts::Ink::Secondary, PanelParts::Wrap::Yes);
    column->addWidget(m_closedNote);
    return m_official;
}

void InfoPanel::refreshHeader(const Conversation &room, bool owner, bool official,
                              const std::optional<Account> &peer)
{
    const bool group = room.kind == ConversationKind::group;
    m_header->setVisible(group || peer);
    m_group->setVisible(group);
    if (group) {
        const QString title = DisplayText::name(m_store.conversationTitle(room));
        m_ownerPhoto->setAvatar(title, room.photoJPEG, std::nullopt);
        m_memberPhoto->setAvatar(title, room.photoJPEG, std::nullopt);
        m_memberTitle->setText(title);
        for (QWidget *part : std::initializer_list<QWidget *>{m_photoButton, m_file, m_titleField})
            part->setVisible(owner);
        m_memberPhoto->setVisible(!owner);
        m_memberTitle->setVisible(!owner);
    }

    m_official->setVisible(!group && peer && official);
    m_person->setVisible(!group && peer && !official);
    if (group || !peer)
        return;
    if (official) {
        m_officialPhoto->setAvatar(peer->displayName, peer->avatarJPEG, peer->avatarURL);
        m_officialName->setText(DisplayText::name(peer->displayName));
        m_bio->setText(peer->bio);
        m_bio->setVisible(!peer->bio.isEmpty());
        m_bio->setMaxLines(m_expanded ? 0 : foldedLines);
        m_more->setVisible(!m_expanded && graphemeCount(peer->bio) > foldedCharacters);
        m_closedNote->setVisible(!peer->acceptsUserMessages);
    } else {
        m_personLabel->setPerson(peer->displayName, peer->handle, peer->avatarJPEG, peer->avatarURL,
                                 false);
        m_person->setAccessibleName(peer->displayName);
    }
}

void InfoPanel::pickPhoto()
{
    // A cancelled dialog or a file that cannot be read as a picture leaves the room's photo as
    // it is: only a picture replaces it. The dialog closes with the panel, and then nothing runs.
    ImageFile::pick(this, ImageShrink::avatarSide, [this](std::optional<QByteArray> jpeg) {
        if (jpeg)
            m_store.setRoomPhoto(m_conversationId, jpeg);
    });
}
