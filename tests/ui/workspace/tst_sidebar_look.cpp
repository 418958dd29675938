// Pictures of the sidebar for a look by eye: both lists at the narrowest and widest column, in a
// window-sized frame, light and dark. They go to sidebar-shots/ beside the test executable.

#include "SidebarTestSupport.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/workspace/Sidebar.h"

#include <QApplication>
#include <QBoxLayout>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray photo(const QColor &color)
{
    QImage picture(120, 120, QImage::Format_RGB32);
    picture.fill(color);
    QByteArray jpeg;
    QBuffer out(&jpeg);
    return out.open(QIODevice::WriteOnly) && picture.save(&out, "jpeg") ? jpeg : QByteArray();
}

} // namespace

class TestSidebarLook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void pictures();
};

void TestSidebarLook::pictures()
{
    SidebarFixture f;
    Account me = *f.store->me();
    me.displayName = QStringLiteral("김하린");
    me.handle = QStringLiteral("harin_kim");
    me.avatarJPEG = photo(QColor(0x4A, 0x90, 0xE2));
    f.store->replaceAccount(me);
    Account sora = f.addPerson(QStringLiteral("소라"), QStringLiteral("sora"));
    sora.avatarJPEG = photo(QColor(0xE2, 0x7A, 0x4A));
    f.store->replaceAccount(sora);
    const Account taeo = f.addPerson(QStringLiteral("태오"), QStringLiteral("taeo_park"));
    const Account asking = f.addPerson(QStringLiteral("이름이 아주 긴 새 친구 후보입니다"),
                                       QStringLiteral("newfriend"));
    befriend(*f.store, sora.id);
    befriend(*f.store, taeo.id);
    f.store->editFriends([&](QList<FriendLink> &l) {
        l.append(FriendLink{asking.id, FriendState::incoming});
    });

    const Conversation hike = f.addRoom(ConversationKind::group, {sora.id, taeo.id},
                                        QStringLiteral("주말 등산 모임"), 5000, true);
    f.say(hike.id, taeo.id, QStringLiteral("토요일 아침 7시에 역 앞에서 만나요!\n늦지 마세요"));
    const Conversation withSora = f.addRoom(ConversationKind::direct, {sora.id}, {}, 60);
    f.say(withSora.id, sora.id, QStringLiteral("어때?"));
    const Conversation withTaeo = f.addRoom(ConversationKind::direct, {taeo.id}, {}, 120);
    f.say(withTaeo.id, f.me, QStringLiteral("내일 회의 자료 공유해 줄게요"));
    f.store->followOfficial(SeedID::quillo());
    const Conversation house = f.addRoom(ConversationKind::direct, {SeedID::quillo()}, {}, 400);
    f.store->setMuted(house.id, true);
    for (int i = 0; i < 120; ++i)
        f.say(house.id, SeedID::quillo(),
              QStringLiteral("Zumo 베타에 오신 것을 환영합니다. 새 기능 소식을 전해 드립니다."));
    const Conversation big = f.addRoom(ConversationKind::group, {sora.id, taeo.id},
                                       QStringLiteral("아주 길고 긴 이름을 가진 협업 대화방"), 900);
    f.say(big.id, sora.id, QString(), MessageKind::deleted);
    f.navigation.openRoom(withSora.id);

    const QString folder
        = QCoreApplication::applicationDirPath() + QStringLiteral("/sidebar-shots");
    QDir().mkpath(folder);
    const QPalette light = QApplication::palette();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? QPalette(QColor(0x3A, 0x3A, 0x3C), QColor(0x1E, 0x1E, 0x1E))
                                      : light);
        for (int width : {240, 320}) {
            for (Section section : {Section::chats, Section::friends}) {
                f.navigation.setSection(section);
                QWidget frame;
                frame.resize(960, 680);
                auto *row = new QHBoxLayout(&frame);
                row->setContentsMargins(0, 0, 0, 0);
                row->setSpacing(0);
                auto *sidebar = new Sidebar(*f.store, f.navigation, &frame);
                f.follow(*sidebar);
                sidebar->setFixedWidth(width);
                row->addWidget(sidebar);
                row->addWidget(new QLabel(QStringLiteral("대화를 선택하세요."), &frame), 1,
                               Qt::AlignCenter);
                frame.show();
                QVERIFY(QTest::qWaitForWindowExposed(&frame));
                settleViews();
                frame.grab(); // asks for the pictures
                QSignalSpy decoded(DecodedImageCache::shared(), &DecodedImageCache::ready);
                decoded.wait(300);
                settleViews();
                const QString name = QStringLiteral("%1-%2-%3.png")
                                         .arg(section == Section::chats ? "chats" : "friends")
                                         .arg(width)
                                         .arg(dark ? "dark" : "light");
                QVERIFY(frame.grab().save(folder + u'/' + name));
            }
        }
    }
    QApplication::setPalette(light);
}

QTEST_MAIN(TestSidebarLook)
#include "tst_sidebar_look.moc"
