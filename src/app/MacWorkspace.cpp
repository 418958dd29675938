#include "app/MacWorkspace.h"

#include "ui/common/ChatFont.h"

#include <QLabel>
#include <QVBoxLayout>

MacWorkspace::MacWorkspace(LocalStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("workspace"));
    auto *layout = new QVBoxLayout(this);
    auto *empty = new QLabel(emptyText(), this);
    empty->setObjectName(QStringLiteral("emptyDetail"));
    empty->setAlignment(Qt::AlignCenter);
    empty->setFont(ChatFont::title3());
    empty->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(empty);
}
