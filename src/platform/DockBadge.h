#pragma once

#include <QtGlobal>

// The badge on the program's launcher or dock icon: the total unread count, 0 for no badge.
// The launcher draws the number itself, so the real total is given, however large.
class DockBadge
{
public:
    virtual ~DockBadge() = default;
    virtual void setCount(qint64 total) = 0;
};

// For a program or a test that shows no badge.
class NullDockBadge final : public DockBadge
{
public:
    void setCount(qint64) override { }
};
