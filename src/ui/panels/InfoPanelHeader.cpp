#include "ui/panels/InfoPanelHeader.h"
#include "model/Account.h"

#include "model/TextLimits.h"
#include "ui/common/AvatarView.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/PanelParts.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>

namespace {

constexpr int foldedLines = 4;

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

InfoPanelHeader::InfoPanelHeader(QWidget *parent)
    : QWidget(parent)
{
    // Only one of the three shows at a time.
    auto *layout = bareBox<QVBoxLayout>(this);
    buildGroup();
    buildOfficial();

    m_person = new RowButton(this);
    m_person->setObjectName(QStringLiteral("peer"));
    m_personLabel = new PersonLabel;
    m_person->addPart(m_personLabel, 1);
    connect(m_person, &QAbstractButton::clicked, this, [this] {
        if (m_peer)
            emit peerClicked(m_peer->id);
    });

    layout->addWidget(m_group);
    layout->addWidget(m_official);
    layout->addWidget(m_person);
}

void InfoPanelHeader::buildGroup()
{
    m_group = new QWidget(this);
    auto *column = bareBox<QVBoxLayout>(m_group, 12);
    column->setContentsMargins(0, 8, 0, 8);

    m_ownerPhoto = new AvatarView(roomPhotoSize);
    auto *photoButton = new PhotoButton(m_ownerPhoto, m_group);
    photoButton->setObjectName(QStringLiteral("roomPhoto"));
    m_photoButton = photoButton;
    connect(photoButton, &QAbstractButton::clicked, this, &InfoPanelHeader::photoRequested);

    m_memberPhoto = new AvatarView(roomPhotoSize, m_group);
    m_memberTitle = PanelParts::label(QString(), QStringLiteral("roomTitle"), ChatFont::headline(),
                                      m_group, PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_memberTitle->setAlignment(Qt::AlignCenter);

    m_file = framedButton(QStringLiteral("파일"), QStringLiteral("file"), m_group);
    connect(m_file, &QPushButton::clicked, this, &InfoPanelHeader::photoRequested);

    m_titleField
        = PanelParts::textField(QStringLiteral("방 이름"), QStringLiteral("titleField"), m_group);
    m_titleField->setAlignment(Qt::AlignCenter);
    m_titleField->setMaximumWidth(360);
    connect(m_titleField, &QLineEdit::returnPressed, this, &InfoPanelHeader::saveRequested);

    m_save = framedButton(QStringLiteral("저장"), QStringLiteral("save"), m_group);
    connect(m_save, &QPushButton::clicked, this, &InfoPanelHeader::saveRequested);

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
}

void InfoPanelHeader::buildOfficial()
{
    m_official = new QWidget(this);
    auto *column = bareBox<QVBoxLayout>(m_official, 8);
    column->setContentsMargins(0, 8, 0, 8);

    auto *row = new QHBoxLayout;
    row->setSpacing(12);
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
        refreshOfficial();
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
}

void InfoPanelHeader::setContent(const Content &content)
{
    const bool group = content.room.kind == ConversationKind::group;
    m_peer = content.peer;

    m_group->setVisible(group);
    if (group) {
        m_ownerPhoto->setAvatar(content.title, content.room.photoJPEG, std::nullopt);
        m_memberPhoto->setAvatar(content.title, content.room.photoJPEG, std::nullopt);
        m_memberTitle->setText(content.title);
        for (QWidget *part : std::initializer_list<QWidget *>{m_photoButton, m_file, m_titleField})
            part->setVisible(content.owner);
        m_memberPhoto->setVisible(!content.owner);
        m_memberTitle->setVisible(!content.owner);
        if (!content.owner)
            m_save->hide();
    }

    m_official->setVisible(!group && m_peer && content.official);
    m_person->setVisible(!group && m_peer && !content.official);
    if (m_peer && content.official) {
        m_officialPhoto->setAvatar(m_peer->displayName, m_peer->avatarJPEG, m_peer->avatarURL);
        m_officialName->setText(DisplayText::name(m_peer->displayName));
        refreshOfficial();
    } else if (m_peer) {
        m_personLabel->setPerson(m_peer->displayName, m_peer->handle, m_peer->avatarJPEG,
                                 m_peer->avatarURL, false);
        m_person->setAccessibleName(m_peer->displayName);
    }
}

void InfoPanelHeader::refreshOfficial()
{
    const QString bio = m_peer ? m_peer->bio : QString();
    m_bio->setText(bio);
    m_bio->setVisible(!bio.isEmpty());
    m_bio->setMaxLines(m_expanded ? 0 : foldedLines);
    m_more->setVisible(!m_expanded && graphemeCount(bio) > foldedCharacters);
    m_closedNote->setVisible(m_peer && !m_peer->acceptsUserMessages);
}

void InfoPanelHeader::setSaveVisible(bool visible)
{
    m_save->setVisible(visible);
}

LineLimitedText::LineLimitedText(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void LineLimitedText::setText(const QString &text)
{
    if (!assignChanged(m_text, text))
        return;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void LineLimitedText::setMaxLines(int lines)
{
    if (!assignChanged(m_maxLines, lines))
        return;
    updateGeometry();
    update();
}

QStringList LineLimitedText::shownLines(int width) const
{
    if (m_text.isEmpty() || width <= 0)
        return {};
    // QTextLayout breaks lines at line separators, not at '\n'.
    QString text = m_text;
    text.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<QTextLine> lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(line);
    }
    layout.endLayout();

    QStringList shown;
    const bool cut = m_maxLines > 0 && lines.size() > m_maxLines;
    const qsizetype count = cut ? m_maxLines : lines.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QTextLine &line = lines.at(i);
        QString piece = text.mid(line.textStart(), line.textLength());
        if (cut && i == count - 1) {
            // The rest of the text on one line, cut short with "…".
            piece = text.mid(line.textStart());
            piece.replace(QChar::LineSeparator, u' ');
            piece = fontMetrics().elidedText(piece, Qt::ElideRight, width);
        }
        piece.remove(QChar::LineSeparator);
        shown.append(piece);
    }
    return shown;
}

int LineLimitedText::heightForWidth(int width) const
{
    return int(shownLines(width).size()) * fontMetrics().lineSpacing();
}

QSize LineLimitedText::sizeHint() const
{
    const int width = 320;
    return QSize(width, heightForWidth(width));
}

QSize LineLimitedText::minimumSizeHint() const
{
    return QSize(0, 0);
}

void LineLimitedText::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const int lineHeight = fontMetrics().lineSpacing();
    int y = 0;
    for (const QString &line : shownLines(width())) {
        painter.drawText(QRect(0, y, width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += lineHeight;
    }
}
