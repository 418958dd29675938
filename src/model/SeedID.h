#pragma once

#include <QUuid>

// The fixed identities of the seed accounts every local-mode store holds.
namespace SeedID {
QUuid quillo(); // the house account (official, verified), 11111111-1111-4111-8111-111111111111
QUuid sora(); // 22222222-2222-4222-8222-222222222222
QUuid taeo(); // 33333333-3333-4333-8333-333333333333
QUuid rian(); // 44444444-4444-4444-8444-444444444444
QUuid shop(); // an official account that is not verified, 55555555-5555-4555-8555-555555555555
} // namespace SeedID
