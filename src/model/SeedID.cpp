#include "model/SeedID.h"

namespace SeedID {

QUuid quillo()
{
    static const QUuid id(QStringLiteral("11111111-1111-4111-8111-111111111111"));
    return id;
}

QUuid sora()
{
    static const QUuid id(QStringLiteral("22222222-2222-4222-8222-222222222222"));
    return id;
}

QUuid taeo()
{
    static const QUuid id(QStringLiteral("33333333-3333-4333-8333-333333333333"));
    return id;
}

QUuid rian()
{
    static const QUuid id(QStringLiteral("44444444-4444-4444-8444-444444444444"));
    return id;
}

QUuid shop()
{
    static const QUuid id(QStringLiteral("55555555-5555-4555-8555-555555555555"));
    return id;
}

} // namespace SeedID
