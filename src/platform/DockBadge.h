#pragma once

#include <QString>

// The badge on the program's launcher or dock icon. The label is "" for no badge, else a
// short text such as "7" or "99+".
class DockBadge
{
public:
    virtual ~DockBadge() = default;
    virtual void setLabel(const QString &label) = 0;
};

// For a program or a test that shows no badge.
class NullDockBadge final : public DockBadge
{
public:
    void setLabel(const QString &) override { }
};
