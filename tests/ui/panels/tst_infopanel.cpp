// The room information panel and the member-invite sheet that it raises.

#include "PanelTestSupport.h"

#include "ui/common/ConfirmDialog.h"
#include "ui/common/ImageFile.h"
#include "ui/panels/InfoPanel.h"
#include "ui/panels/LineLimitedText.h"
#include "ui/panels/MemberInvite.h"
#include "ui/panels/PersonRows.h"

#include <QAbstractItemModelTester>
#include <QDialog>
#include <QImage>
#include <QListView>

using namespace Qt::StringLiterals;

namespace {

// The panel's callbacks, recorded.
struct Calls
{
    QList<ReportDraft> reports;
    QList<QUuid> opened;
    int closed = 0;
    int left = 0;
};

std::unique_ptr<InfoPanel> makePanel(LocalStore &store, const QUuid &roomId, Calls &calls)
{
    auto panel = std::make_unique<InfoPanel>(store, roomId);
    QObject::connect(panel.get(), &InfoPanel::reportRequested,
                     [&calls](const ReportDraft &d) { calls.reports.append(d); });
    QObject::connect(panel.get(), &InfoPanel::profileRequested,
                     [&calls](const QUuid &id) { calls.opened.append(id); });
    QObject::connect(panel.get(), &InfoPanel::closeRequested, [&calls] { ++calls.closed; });
    QObject::connect(panel.get(), &InfoPanel::left, [&calls] { ++calls.left; });
    return panel;
}

bool shown(QWidget &root, const QString &name)
{
    QWidget *widget = root.findChild<QWidget *>(name);
    return widget && widget->isVisibleTo(&root);
}

// A click on a person row's person, or on its painted button.
void clickRow(QListView *list, int row, bool onAction = false)
{
    const QModelIndex index = list->model()->index(row, 0);
    const QRect rect = list->visualRect(index);
    const QString action = index.data(PersonRowDelegate::ActionRole).toString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      onAction ? PersonRowDelegate::actionRect(rect, action).center()
                               : QPoint(rect.left() + 40, rect.center().y()));
}

} // namespace

class TestInfoPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init()
    {
        resetFolders();
        ImageFile::setTestAnswer({});
        m_store = memoryStore();
        m_me = signInLocally(*m_store);
    }
    void cleanup()
    {
        ImageFile::setTestAnswer({});
        m_store.reset();
    }

    void controlsByRoom_data();
    void controlsByRoom();
    void memberRows();
    void description_data();
    void description();
    void switches();
    void savingTheName_data();
    void savingTheName();
    void confirmations_data();
    void confirmations();
    void reportsThePeer();
    void photoFromFile_data();
    void photoFromFile();
    void inviteCandidates_data();
    void inviteCandidates();
    void inviteSheetFromPanel();

private:
    QUuid addPerson(const QString &name, const QString &handle = {})
    {
        Account a = person(handle.isEmpty() ? u"h_"_s + QString::number(++m_serial) : handle, name);
        m_store->editAccounts([&](QList<Account> &list) { list.append(a); });
        return a.id;
    }
    QUuid addOfficial(const QString &bio, bool acceptsMessages = true)
    {
        Account a = person(u"notice"_s, u"공지 계정"_s);
        a.kind = AccountKind::official;
        a.bio = bio;
        a.acceptsUserMessages = acceptsMessages;
        m_store->editAccounts([&](QList<Account> &list) { list.append(a); });
        m_store->editOfficialLinks([&](QList<OfficialLink> &list) {
            list.append(OfficialLink{a.id, false});
        });
        return a.id;
    }
    // A group of me and `others` new people (one of whom owns it unless I do).
    QUuid addGroup(int others, bool iOwn, const QString &title = u"주말 모임"_s)
    {
        QList<Membership> members{member(m_me, iOwn ? MemberRole::owner : MemberRole::member)};
        for (int i = 0; i < others; ++i) {
            const QUuid id = addPerson(u"친구 %1"_s.arg(i + 1));
            members.append(member(id, !iOwn && i == 0 ? MemberRole::owner : MemberRole::member,
                                  1'700'000'000 + i + 1));
        }
        return addRoom(room(ConversationKind::group, members, title));
    }
    QUuid addDirect(const QUuid &peer)
    {
        return addRoom(room(ConversationKind::direct, {member(m_me), member(peer)}));
    }
    QUuid addRoom(const Conversation &c)
    {
        m_store->setConversations(m_store->conversations() << c);
        return c.id;
    }

    std::unique_ptr<LocalStore> m_store;
    QUuid m_me;
    int m_serial = 0;
};

void TestInfoPanel::controlsByRoom_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("members");
    QTest::addColumn<QStringList>("visible");

    const QStringList owner{u"roomPhoto"_s, u"file"_s, u"titleField"_s, u"memberList"_s,
                            u"notify"_s,    u"pin"_s,  u"leave"_s};
    const QStringList member{u"roomTitle"_s, u"memberList"_s, u"notify"_s, u"pin"_s, u"leave"_s};
    QTest::newRow("group of 19, owner") << u"owner"_s << 19 << owner + QStringList{u"invite"_s};
    QTest::newRow("group of 20, owner") << u"owner"_s << 20 << owner + QStringList{u"cap"_s};
    QTest::newRow("group of 19, member") << u"member"_s << 19 << member;
    QTest::newRow("group of 20, member") << u"member"_s << 20 << member;
    QTest::newRow("direct, person")
        << u"person"_s << 2
        << QStringList{u"peer"_s, u"notify"_s, u"pin"_s, u"block"_s, u"clear"_s, u"report"_s};
    QTest::newRow("direct, official")
        << u"official"_s << 2
        << QStringList{u"officialName"_s, u"bio"_s,   u"more"_s,  u"notify"_s,
                       u"broadcast"_s,    u"block"_s, u"clear"_s, u"report"_s};
    QTest::newRow("direct, peer unknown")
        << u"unknown peer"_s << 2 << QStringList{u"notify"_s, u"pin"_s};
    QTest::newRow("room unknown") << u"unknown room"_s << 0 << QStringList{};
}

// Which controls each kind of room shows; the rest stay hidden.
void TestInfoPanel::controlsByRoom()
{
    QFETCH(QString, kind);
    QFETCH(int, members);
    QFETCH(QStringList, visible);

    QUuid id;
    if (kind == u"owner"_s || kind == u"member"_s)
        id = addGroup(members - 1, kind == u"owner"_s);
    else if (kind == u"person"_s)
        id = addDirect(addPerson(u"상대"_s, u"peer_1"_s));
    else if (kind == u"official"_s)
        id = addDirect(
            addOfficial(u"새 소식과 점검 일정, 바뀐 이용 안내를 가장 먼저 알려 드립니다. "_s
                        u"궁금한 점은 도움말 센터에서 찾아보실 수 있습니다."_s.repeated(3)));
    else if (kind == u"unknown peer"_s)
        id = addDirect(QUuid::createUuid());
    else
        id = QUuid::createUuid();

    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    const QStringList names{u"roomPhoto"_s,  u"file"_s,         u"titleField"_s, u"roomTitle"_s,
                            u"peer"_s,       u"bio"_s,          u"memberList"_s, u"invite"_s,
                            u"cap"_s,        u"notify"_s,       u"pin"_s,        u"broadcast"_s,
                            u"leave"_s,      u"block"_s,        u"unblock"_s,    u"clear"_s,
                            u"report"_s,     u"officialName"_s, u"done"_s,       u"save"_s,
                            u"closedNote"_s, u"more"_s};
    for (const QString &name : names)
        QVERIFY2(shown(*panel, name) == visible.contains(name), qPrintable(name));
    QCOMPARE(part<QLabel>(*panel, u"cap"_s)->text(), u"인원 상한은 20명입니다."_s);
    QCOMPARE(shownText(*panel, u"title"_s), u"대화 정보"_s);
    part(*panel, u"close"_s)->click();
    QCOMPARE(calls.closed, 1);
    if (auto *list = part<QListView>(*panel, u"memberList"_s); list && kind == u"owner"_s) {
        // Every member is on the page: the list is as tall as its rows.
        QCOMPARE(list->model()->rowCount(), members);
        QCOMPARE(list->height(), members * list->sizeHintForRow(0));
    }
    if (QTest::currentDataTag() == "group of 19, owner"_L1 || kind.startsWith(u'p')
        || kind == u"official"_s) {
        panel->resize(720, 620);
        panel->show();
        redraw();
        savePictures(*panel, u"info-"_s + kind, {QSize(720, 620), QSize(1200, 800)});
    }
}

// The owner's rows: "방장" on the owner, "내보내기" on every row but mine (an unknown account,
// shown as "회원", included); a person opens the profile, "내보내기" removes at once.
void TestInfoPanel::memberRows()
{
    const QUuid friendId = addPerson(u"친구"_s, u"chingu"_s);
    const QUuid stranger = QUuid::createUuid();
    const QUuid id = addRoom(room(ConversationKind::group,
                                  {member(m_me, MemberRole::owner), member(friendId),
                                   member(stranger, MemberRole::member, 1'700'000'100)},
                                  u"방"_s));
    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    panel->resize(720, 900);
    panel->show();
    auto *list = part<QListView>(*panel, u"memberList"_s);
    QAbstractItemModelTester tester(list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto column = [&](int role) {
        QStringList values;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            values.append(list->model()->index(row, 0).data(role).toString());
        return values;
    };
    QCOMPARE(column(Qt::DisplayRole), (QStringList{u"나"_s, u"친구"_s, u"회원"_s}));
    QCOMPARE(column(PersonRowDelegate::TagRole), (QStringList{u"방장"_s, {}, {}}));
    QCOMPARE(column(PersonRowDelegate::ActionRole),
             (QStringList{{}, u"내보내기"_s, u"내보내기"_s}));
    QCOMPARE(column(Qt::AccessibleTextRole).first(), u"나, @me_handle, 방장"_s);

    clickRow(list, 2);
    QCOMPARE(calls.opened, QList<QUuid>{stranger});
    clickRow(list, 1, true);
    QVERIFY(m_store->conversation(id)->memberships.at(1).leftAt.has_value());
    QCOMPARE(calls.opened.size(), 1);
    redraw();
    QCOMPARE(column(Qt::DisplayRole), (QStringList{u"나"_s, u"회원"_s}));
    QCOMPARE(list->height(), 2 * list->sizeHintForRow(0));
}

void TestInfoPanel::description_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("more");

    QTest::newRow("40 characters") << 40 << false;
    QTest::newRow("41 characters") << 41 << true;
    // Syllables in decomposed form, two code points each: characters are what a reader sees.
    QTest::newRow("40 decomposed syllables") << -40 << false;
}

void TestInfoPanel::description()
{
    QFETCH(int, length);
    QFETCH(bool, more);

    const QString syllable = length < 0 ? u"\u1100\u1161"_s : u"가"_s;
    const QString bio = syllable.repeated(std::abs(length));
    Calls calls;
    auto panel = makePanel(*m_store, addDirect(addOfficial(bio, false)), calls);
    auto *text = part<LineLimitedText>(*panel, u"bio"_s);
    QCOMPARE(text->text(), bio);
    QCOMPARE(text->maxLines(), 4);
    QCOMPARE(shown(*panel, u"more"_s), more);
    QCOMPARE(shownText(*panel, u"closedNote"_s), u"이 서비스는 메시지를 받지 않습니다."_s);
    if (!more)
        return;
    part(*panel, u"more"_s)->click();
    QCOMPARE(text->maxLines(), 0);
    QVERIFY(!shown(*panel, u"more"_s));
}

// "알림" off mutes, "고정" pins, "방송 받기" off opts out; each shows the store's value after.
void TestInfoPanel::switches()
{
    const QUuid official = addOfficial(u"소식"_s);
    const QUuid direct = addDirect(official);
    const QUuid group = addGroup(1, false);
    Calls calls;
    auto panel = makePanel(*m_store, direct, calls);
    auto groupPanel = makePanel(*m_store, group, calls);
    part(*panel, u"notify"_s)->click();
    part(*panel, u"broadcastSwitch"_s)->click();
    part(*groupPanel, u"pin"_s)->click();
    QVERIFY(m_store->conversation(direct)->muted && !part(*panel, u"notify"_s)->isChecked());
    QVERIFY(m_store->isOptOut(official) && !part(*panel, u"broadcastSwitch"_s)->isChecked());
    QVERIFY(m_store->conversation(group)->pinned && part(*groupPanel, u"pin"_s)->isChecked());
    QCOMPARE(shownText(*panel, u"broadcastFooter"_s),
             u"꺼도 이미 받은 안내와 직접 보낸 메시지는 남습니다."_s);
}

void TestInfoPanel::savingTheName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how"); // close, done, save, return
    QTest::addColumn<bool>("doneShown");
    QTest::addColumn<QString>("title");

    const QString title = u"주말 모임"_s;
    QTest::newRow("closing the panel saves")
        << u"등산 모임"_s << u"close"_s << true << u"등산 모임"_s;
    QTest::newRow("완료") << u"등산 모임"_s << u"done"_s << true << u"등산 모임"_s;
    QTest::newRow("저장") << u"등산 모임"_s << u"save"_s << true << u"등산 모임"_s;
    QTest::newRow("return") << u"등산 모임"_s << u"return"_s << true << u"등산 모임"_s;
    QTest::newRow("trimmed by the store") << u"  등산  \n"_s << u"close"_s << true << u"등산"_s;
    QTest::newRow("cut to 40 by the store")
        << u"가"_s.repeated(45) << u"close"_s << true << u"가"_s.repeated(40);
    QTest::newRow("cut to 40, 완료")
        << u"가"_s.repeated(45) << u"done"_s << true << u"가"_s.repeated(40);
    QTest::newRow("trimmed, 저장") << u" 등산 "_s << u"save"_s << true << u"등산"_s;
    QTest::newRow("blanks never saved") << u"   "_s << u"done"_s << true << title;
    QTest::newRow("equal after trimming not saved") << title + u" "_s << u"done"_s << true << title;
    QTest::newRow("unchanged") << title << u"close"_s << false << title;
}

void TestInfoPanel::savingTheName()
{
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(bool, doneShown);
    QFETCH(QString, title);

    const QUuid id = addGroup(1, true);
    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    panel->show();
    auto *field = part<QLineEdit>(*panel, u"titleField"_s);
    QCOMPARE(field->text(), u"주말 모임"_s);
    QVERIFY(!shown(*panel, u"done"_s));
    typeInto(field, typed);
    // Never cut while typing: the store cuts the name.
    QCOMPARE(field->text(), typed);
    QCOMPARE(shown(*panel, u"done"_s), doneShown);
    QCOMPARE(shown(*panel, u"save"_s), title != u"주말 모임"_s);

    if (how == u"close"_s)
        panel.reset();
    else if (how == u"return"_s)
        QTest::keyClick(field, Qt::Key_Return);
    else
        part(*panel, how)->click();
    QCOMPARE(m_store->conversation(id)->title, title);
    if (!panel)
        return;
    // A saved name shows as stored, and nothing is left to save; a name not saved stays.
    redraw();
    const bool saved = title != u"주말 모임"_s;
    QCOMPARE(field->text(), saved ? title : typed);
    QCOMPARE(shown(*panel, u"done"_s), !saved && doneShown);
    QVERIFY(!shown(*panel, u"save"_s));
}

void TestInfoPanel::confirmations_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("confirm");

    QTest::newRow("leave") << u"leave"_s << u"대화방에서 나갈까요?"_s << u"나가기"_s;
    QTest::newRow("clear") << u"clear"_s << u"이 대화의 메시지를 내 화면에서 지울까요?"_s
                           << u"지우기"_s;
    QTest::newRow("block") << u"block"_s << u"차단할까요?"_s << u"차단"_s;
}

// Each destructive action asks first; "취소" does nothing, the confirming button acts.
void TestInfoPanel::confirmations()
{
    QFETCH(QString, button);
    QFETCH(QString, question);
    QFETCH(QString, confirm);

    const QUuid peer = addPerson(u"상대"_s);
    const QUuid id = button == u"leave"_s ? addGroup(2, false) : addDirect(peer);
    m_store->setMessages({textMessage(id, peer, 1)});
    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    panel->show();
    const auto effect = [&] {
        if (button == u"leave"_s)
            return calls.left == 1 && !m_store->sortedList().contains(*m_store->conversation(id));
        if (button == u"clear"_s)
            return m_store->visibleMessages(id).isEmpty();
        return m_store->blocks().contains(peer);
    };

    for (const QString &answer : {ConfirmDialog::cancelText(), confirm}) {
        part(*panel, button)->click();
        QMessageBox *box = openConfirmation(*panel);
        QVERIFY(box);
        QCOMPARE(box->text(), question);
        QVERIFY(answerConfirmation(*panel, answer));
        QTRY_VERIFY(!openConfirmation(*panel));
        QCOMPARE(effect(), answer == confirm);
    }
    if (button != u"block"_s)
        return;
    // The block turns into "차단 해제", which lifts it at once.
    redraw();
    QVERIFY(!shown(*panel, u"block"_s));
    part(*panel, u"unblock"_s)->click();
    QVERIFY(!openConfirmation(*panel));
    QVERIFY(!m_store->blocks().contains(peer));
}

// Each "신고" asks for the report sheet anew: the peer, no message, a fresh id.
void TestInfoPanel::reportsThePeer()
{
    const QUuid peer = addPerson(u"상대"_s);
    Calls calls;
    auto panel = makePanel(*m_store, addDirect(peer), calls);
    part(*panel, u"report"_s)->click();
    part(*panel, u"report"_s)->click();
    QCOMPARE(calls.reports.size(), 2);
    QCOMPARE(calls.reports.at(1), (ReportDraft{calls.reports.at(1).id, peer, std::nullopt}));
    QVERIFY(calls.reports.at(0).id != calls.reports.at(1).id);
}

void TestInfoPanel::photoFromFile_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer"); // picture, junk, missing, cancel
    QTest::addColumn<bool>("replaced");

    QTest::newRow("파일, a picture") << u"file"_s << u"picture"_s << true;
    QTest::newRow("photo button, a picture") << u"roomPhoto"_s << u"picture"_s << true;
    QTest::newRow("파일 cancelled") << u"file"_s << u"cancel"_s << false;
    QTest::newRow("photo button cancelled") << u"roomPhoto"_s << u"cancel"_s << false;
    QTest::newRow("a file that is no picture") << u"file"_s << u"junk"_s << false;
    QTest::newRow("a file that cannot be read") << u"file"_s << u"missing"_s << false;
}

// Only a picture replaces the room's photo: cancelling or an unusable file keeps it.
void TestInfoPanel::photoFromFile()
{
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(bool, replaced);

    QTemporaryDir folder;
    QImage(900, 600, QImage::Format_RGB32).save(folder.filePath(u"picture.png"_s));
    QFile junk(folder.filePath(u"junk.png"_s));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
    junk.close();
    ImageFile::setTestAnswer(
        [&] { return answer == u"cancel"_s ? QString() : folder.filePath(answer + u".png"_s); });

    const QUuid id = addGroup(1, true);
    const QByteArray before("the photo before");
    m_store->setRoomPhoto(id, before);
    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    part(*panel, button)->click();
    QTest::qWait(0);
    redraw();
    const std::optional<QByteArray> photo = m_store->conversation(id)->photoJPEG;
    QVERIFY(photo.has_value());
    QCOMPARE(*photo != before, replaced);
    if (replaced)
        QCOMPARE(QImage::fromData(*photo).size(), QSize(512, 341));
}

void TestInfoPanel::inviteCandidates_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("no friends") << u"none"_s << QStringList{};
    QTest::newRow("friends who are members or blocked")
        << u"members and blocked"_s << QStringList{};
    QTest::newRow("a friend who left is listed again") << u"left"_s << QStringList{u"떠난 친구"_s};
    QTest::newRow("room unknown: every friend not blocked")
        << u"unknown room"_s << QStringList{u"가 친구"_s, u"나 친구"_s};
}

void TestInfoPanel::inviteCandidates()
{
    QFETCH(QString, setting);
    QFETCH(QStringList, listed);

    QUuid id = addGroup(0, true);
    if (setting != u"none"_s) {
        const QUuid a = addPerson(u"가 친구"_s);
        const QUuid b = addPerson(u"나 친구"_s);
        const QUuid blocked = addPerson(u"막은 친구"_s);
        for (const QUuid &f : {a, b, blocked})
            befriend(*m_store, f);
        m_store->setBlocks({blocked});
        m_store->editConversations(
            [&](QList<Conversation> &list) { list.last().memberships << member(a) << member(b); });
        if (setting == u"left"_s) {
            const QUuid gone = addPerson(u"떠난 친구"_s);
            befriend(*m_store, gone);
            Membership left = member(gone);
            left.leftAt = QDateTime::currentDateTimeUtc();
            m_store->editConversations(
                [&](QList<Conversation> &list) { list.last().memberships << left; });
        }
        if (setting == u"unknown room"_s)
            id = QUuid::createUuid();
    }

    MemberInvite sheet(*m_store, id);
    auto *list = part<QListView>(sheet, u"list"_s);
    QAbstractItemModelTester tester(list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names.append(list->model()->index(row, 0).data().toString());
    QCOMPARE(names, listed);
    QCOMPARE(shown(sheet, u"empty"_s), listed.isEmpty());
    QCOMPARE(part<QLabel>(sheet, u"empty"_s)->text(), MemberInvite::emptyText());
    QCOMPARE(shownText(sheet, u"title"_s), u"멤버 초대"_s);
    if (setting == u"left"_s)
        savePictures(sheet, u"member-invite"_s, {QSize(420, 360)});
}

// "멤버 초대" raises the sheet in a window-modal dialog; a tap invites and keeps the sheet up,
// the friend leaving the list; "취소" closes it.
void TestInfoPanel::inviteSheetFromPanel()
{
    const QUuid id = addGroup(1, true);
    befriend(*m_store, addPerson(u"새 친구"_s));
    Calls calls;
    auto panel = makePanel(*m_store, id, calls);
    panel->show();
    part(*panel, u"invite"_s)->click();
    QDialog *dialog = panel->inviteDialog();
    QVERIFY(dialog && dialog->isVisible() && dialog->windowModality() == Qt::WindowModal);
    QVERIFY(dialog->minimumWidth() >= 420 && dialog->minimumHeight() >= 360);
    auto *sheet = dialog->findChild<MemberInvite *>();
    auto *friends = part<QListView>(*sheet, u"list"_s);
    clickRow(friends, 0);
    redraw();
    QCOMPARE(friends->model()->rowCount(), 0);
    QVERIFY(dialog->isVisible() && shown(*sheet, u"empty"_s));
    QCOMPARE(part<QListView>(*panel, u"memberList"_s)->model()->rowCount(), 3);
    part(*sheet, u"cancel"_s)->click();
    QTRY_VERIFY(!panel->inviteDialog());
}

QTEST_MAIN(TestInfoPanel)
#include "tst_infopanel.moc"
