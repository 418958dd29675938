#include "ui/panels/SheetHost.h"

#include "ui/panels/PageBase.h"

#include <QDialog>
#include <QGridLayout>

QDialog *SheetHost::create(QWidget *window, PageBase *sheet, QSize floor)
{
    auto *dialog = new QDialog(window);
    dialog->setWindowModality(Qt::WindowModal);
    auto *layout = new QGridLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addItem(
        new QSpacerItem(floor.width(), floor.height(), QSizePolicy::Minimum, QSizePolicy::Minimum),
        0, 0);
    layout->addWidget(sheet, 0, 0);
    QObject::connect(sheet, &PageBase::closeRequested, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    return dialog;
}
