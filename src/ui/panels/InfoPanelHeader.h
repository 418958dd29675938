#pragma once

#include "model/Account.h"
#include "model/Conversation.h"

#include <QStringList>
#include <QWidget>

#include <optional>

class AvatarView;
class PersonLabel;
class QLabel;
class QLineEdit;
class QPushButton;
class RowButton;

// Wrapped plain text shown in at most a given number of lines; the last line shown ends in "…"
// when the text goes on. Its height follows its width.
class LineLimitedText : public QWidget
{
    Q_OBJECT
public:
    explicit LineLimitedText(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    // 0: no limit.
    void setMaxLines(int lines);
    int maxLines() const { return m_maxLines; }

    // The lines as they are shown at `width`.
    QStringList shownLines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    int m_maxLines = 0;
};

// The first section of the room information panel. A group shows its photo and name: to its
// owner as the photo button, "파일", the name field "방 이름" and "저장"; to a member as the
// photo and the name. A direct room shows its peer: an official account with its description
// (folded to four lines until "더 보기") and, when it takes no messages, a note; a person as a
// button that opens the profile. An unknown peer shows nothing.
class InfoPanelHeader : public QWidget
{
    Q_OBJECT
public:
    static constexpr int roomPhotoSize = 72;
    // A description longer than this many characters can be unfolded.
    static constexpr int foldedCharacters = 40;

    explicit InfoPanelHeader(QWidget *parent = nullptr);

    struct Content
    {
        Conversation room;
        QString title; // the display title
        bool owner = false;
        bool official = false;
        std::optional<Account> peer;
    };
    void setContent(const Content &content);

    // The name field of the owner; its text is the name being edited.
    QLineEdit *titleField() const { return m_titleField; }
    void setSaveVisible(bool visible);

signals:
    // The photo button or "파일".
    void photoRequested();
    // "저장", or Return in the name field.
    void saveRequested();
    void peerClicked(const QUuid &userId);

private:
    void buildGroup();
    void buildOfficial();
    void refreshOfficial();

    std::optional<Account> m_peer;
    bool m_expanded = false;

    QWidget *m_group;
    QWidget *m_photoButton;
    AvatarView *m_ownerPhoto;
    AvatarView *m_memberPhoto;
    QLabel *m_memberTitle;
    QPushButton *m_file;
    QLineEdit *m_titleField;
    QPushButton *m_save;

    QWidget *m_official;
    AvatarView *m_officialPhoto;
    QLabel *m_officialName;
    LineLimitedText *m_bio;
    QPushButton *m_more;
    QLabel *m_closedNote;

    RowButton *m_person;
    PersonLabel *m_personLabel;
};
