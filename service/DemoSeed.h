#pragma once

#include <QString>
#include <QStringList>

class StandInService;

// Demo accounts for running the program against a local stand-in service.
struct DemoSeed
{
    // Seeds the accounts, friendships, a group room and a few messages; returns one line per
    // account with its sign-in details.
    static QStringList apply(StandInService &service);
};
