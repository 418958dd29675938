#pragma once

#include <QBoxLayout>

// A box layout for `host` (none: one to nest) that adds no margins of its own and keeps its
// items `spacing` apart: the plain stacking of the parts a page or a row is built of.
template<typename Box>
Box *bareBox(QWidget *host = nullptr, int spacing = 0)
{
    auto *box = new Box(host);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(spacing);
    return box;
}
