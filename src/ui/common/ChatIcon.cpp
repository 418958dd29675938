#include "ui/common/ChatIcon.h"

QIcon ChatIcon::symbol(const QString &name)
{
    return QIcon::fromTheme(name);
}
