#pragma once

#include <QString>
#include <QStringList>

class StandInService;

// Demo accounts for running the program against a local stand-in service.
struct DemoSeed
{
    // Seeds the accounts, friendships, a group room and a few messages; returns one line per
    // account with its sign-in details. A service that has any demo account already (read
    // from its data file) is left as it is.
    static QStringList apply(StandInService &service);
};
