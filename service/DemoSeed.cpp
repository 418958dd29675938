#include "service/DemoSeed.h"

#include "service/StandInService.h"

QStringList DemoSeed::apply(StandInService &service)
{
    struct Demo
    {
        const char *email;
        const char *handle;
        const char *name;
    };
    const Demo demos[] = {
        {"sora@demo.zumo", "sora", "한소라"},
        {"taeo@demo.zumo", "taeo", "정태오"},
        {"rian@demo.zumo", "rian", "오세린"},
    };
    const QString password = QStringLiteral("zumo1234");
    QList<SeedUser> accounts;
    QStringList lines;
    bool present = false;
    for (const Demo &d : demos) {
        SeedUser u;
        u.email = QString::fromUtf8(d.email);
        u.password = password;
        u.handle = QString::fromUtf8(d.handle);
        u.displayName = QString::fromUtf8(d.name);
        accounts.append(u);
        lines.append(QStringLiteral("%1  password %2  (@%3, %4)")
                         .arg(u.email, password, u.handle, u.displayName));
        present = present || !service.accountByEmail(u.email).isNull();
    }
    if (present)
        return lines;

    QList<QUuid> ids;
    for (const SeedUser &u : accounts)
        ids.append(service.addUser(u));
    service.makeFriends(ids[0], ids[1]);
    service.makeFriends(ids[0], ids[2]);
    service.makeFriends(ids[1], ids[2]);
    const QUuid direct = service.addDirectRoom(ids[0], ids[1]);
    service.addMessage(direct, ids[1], QStringLiteral("안녕하세요! 오늘 점심 같이 할래요?"));
    service.addMessage(direct, ids[0], QStringLiteral("좋아요, 12시에 봬요."));
    const QUuid group = service.addGroupRoom(ids[0], QStringLiteral("주말 등산"), {ids[1], ids[2]});
    service.addMessage(group, ids[2], QStringLiteral("토요일 아침 8시 어때요?"));
    for (const QUuid &id : ids)
        service.follow(id, service.houseAccountId());
    service.broadcast(QStringLiteral("Zumo에 오신 것을 환영합니다."));
    return lines;
}
