#pragma once

#include <QtGlobal>

// The badge on the program's icon in the desktop's launcher: the total unread count, 0 for no
// badge. The launcher draws the number itself, so the real total is given, however large.
class LauncherBadge
{
public:
    virtual ~LauncherBadge() = default;
    virtual void setCount(qint64 total) = 0;
};

// For a program or a test that shows no badge.
class NullLauncherBadge final : public LauncherBadge
{
public:
    void setCount(qint64) override { }
};
