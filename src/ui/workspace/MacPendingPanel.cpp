#include "ui/workspace/MacPendingPanel.h"

#include "ui/common/ChatFont.h"
#include "ui/panels/PanelParts.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MacPendingPanel::MacPendingPanel(const QString &title, std::function<void()> onClose,
                                 QWidget *parent)
    : QWidget(parent)
    , m_title(title)
{
    setObjectName(QStringLiteral("pendingPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto *heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("pendingTitle"));
    heading->setFont(ChatFont::title3());
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    QPushButton *close = PanelParts::plainButton(QStringLiteral("닫기"), this);
    close->setObjectName(QStringLiteral("pendingClose"));
    layout->addWidget(close, 0, Qt::AlignHCenter);
    close->setVisible(bool(onClose));
    layout->addStretch(1);
    connect(close, &QPushButton::clicked, this, [this, onClose = std::move(onClose)] {
        if (onClose)
            onClose();
        emit closeRequested();
    });
}
