#include "app/StartUpView.h"

#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/Spinner.h"
#include "ui/workspace/StatusLine.h"

#include <QLabel>
#include <QVBoxLayout>

StartUpView::StartUpView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("startUp"));
    auto *spinner = new Spinner(this);
    spinner->setObjectName(QStringLiteral("startUpSpinner"));
    auto *line = new QLabel(StatusLine::connectingText(), this);
    line->setObjectName(QStringLiteral("startUpLine"));
    line->setAccessibleName(line->text());
    line->setAlignment(Qt::AlignCenter);
    line->setFont(ChatFont::subheadline());
    ChatColor::keepSecondary(line);

    auto *box = bareBox<QVBoxLayout>(this, 8);
    box->addStretch();
    box->addWidget(spinner, 0, Qt::AlignHCenter);
    box->addWidget(line);
    box->addStretch();
}
