#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;

// The block list page: the blocked accounts that the store lists, each with "해제", which lifts
// the block at once without asking. The list follows the store: a lifted block leaves it, a
// block that the service refused to lift comes back.
class BlockedList : public PageBase
{
    Q_OBJECT
public:
    explicit BlockedList(LocalStore &store, QWidget *parent = nullptr);

    static QString emptyText() { return QStringLiteral("차단한 계정이 없습니다."); }
};
