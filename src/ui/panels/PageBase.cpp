#include "ui/panels/PageBase.h"

#include "ui/common/AccountListModel.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ConfirmDialog.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PictureRows.h"

#include <QAction>
#include <QBoxLayout>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>

PageBase::PageBase(const QString &objectName, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(objectName);
}

void PageBase::closeOnEscape()
{
    auto *leave = new QAction(this);
    leave->setShortcut(Qt::Key_Escape);
    leave->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(leave);
    connect(leave, &QAction::triggered, this, &PageBase::closeRequested);
}

QPushButton *PageBase::closeButton(Qt::Alignment textAlign)
{
    QPushButton *close
        = PanelParts::plainButton(QStringLiteral("닫기"), this, textAlign, QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &PageBase::closeRequested);
    return close;
}

QPushButton *PageBase::cancelButton()
{
    QPushButton *cancel
        = PanelParts::pushButton(QStringLiteral("취소"), QStringLiteral("cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &PageBase::closeRequested);
    return cancel;
}

QWidget *PageBase::listTitleBar(const QString &title)
{
    QWidget *bar = titleBar(title, closeButton(Qt::AlignLeft));
    bar->setContentsMargins(16 - PanelParts::buttonInset, 0, 16 - PanelParts::buttonInset, 0);
    return bar;
}

QWidget *PageBase::titleBar(const QString &title, QWidget *leading, QWidget *trailing)
{
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("header"));
    QLabel *heading = PanelParts::label(title, QStringLiteral("title"), ChatFont::headline(), bar);
    heading->setAlignment(Qt::AlignCenter);

    // Equal side columns keep the title in the middle between buttons of unequal width. Each
    // side is a box that stays when its button is missing or hidden.
    auto *layout = new QGridLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    const auto side = [bar](QWidget *button, Qt::Alignment alignment) {
        auto *box = new QWidget(bar);
        box->setMinimumSize(UiMetrics::controlHeight, UiMetrics::controlHeight);
        auto *row = bareBox<QHBoxLayout>(box);
        if (button)
            row->addWidget(button, 0, alignment | Qt::AlignVCenter);
        return box;
    };
    layout->addWidget(side(leading, Qt::AlignLeft), 0, 0);
    layout->addWidget(heading, 0, 1);
    layout->addWidget(side(trailing, Qt::AlignRight), 0, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    return bar;
}

QVBoxLayout *PageBase::formColumn(int spacing, QWidget *host, int maxWidth)
{
    if (!host)
        host = this;
    auto *holder = new QWidget(host);
    holder->setObjectName(QStringLiteral("column"));
    holder->setMaximumWidth(maxWidth);
    holder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);

    // The column takes all the width it may have; what is left splits evenly on both sides.
    auto *across = bareBox<QHBoxLayout>();
    across->addStretch(0);
    across->addWidget(holder, 1);
    across->addStretch(0);

    auto *outer = bareBox<QVBoxLayout>(host);
    outer->addLayout(across);
    outer->addStretch(1);

    return pageColumn(UiMetrics::formPadding, spacing, holder);
}

QVBoxLayout *PageBase::pageColumn(int padding, int spacing, QWidget *host)
{
    auto *column = bareBox<QVBoxLayout>(host ? host : this, spacing);
    column->setContentsMargins(padding, padding, padding, padding);
    return column;
}

QScrollArea *PageBase::scroller(QWidget *content)
{
    auto *scroller = new QScrollArea(this);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes to what it holds; the scroller itself is no stop of its own.
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(content);
    scroller->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return scroller;
}

void PageBase::setUpList(QListView *list, QAbstractItemModel *model, const QString &name,
                         const QString &accessibleName)
{
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setModel(model);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFrameShape(QFrame::NoFrame);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The lists of people repaint the rows whose avatar arrived; any other list all its rows.
    const bool people = qobject_cast<const AccountListModel *>(model) != nullptr;
    PictureRows::follow(list, [people](const QModelIndex &index, const QSet<QString> &pictures) {
        if (!people)
            return true;
        const QByteArray jpeg = index.data(AccountListModel::AvatarJpegRole).toByteArray();
        const QString address = index.data(AccountListModel::AvatarUrlRole).toString();
        return DecodedImageCache::shared()->concerns(pictures, jpeg, address);
    });
}

QStackedLayout *PageBase::listOrEmpty(QListView *list, QWidget *empty)
{
    auto *emptyPage = new QWidget(this);
    auto *emptyColumn = new QVBoxLayout(emptyPage);
    // The rows' padding (PersonRowDelegate::padding).
    emptyColumn->setContentsMargins(16, 14, 16, 0);
    emptyColumn->addWidget(empty);
    emptyColumn->addStretch(1);
    auto *stack = new QStackedLayout;
    stack->addWidget(list);
    stack->addWidget(emptyPage);
    QAbstractItemModel *model = list->model();
    const auto follow = [stack, model] { stack->setCurrentIndex(model->rowCount() == 0 ? 1 : 0); };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model, signal, emptyPage, follow);
    connect(model, &QAbstractItemModel::modelReset, emptyPage, follow);
    follow();
    return stack;
}

QBoxLayout *PageBase::addCloseRow(QVBoxLayout *column, int trailing)
{
    QBoxLayout *row = PanelParts::outsetLayout(Qt::Horizontal, PanelParts::buttonInset, trailing);
    row->addWidget(closeButton(Qt::AlignLeft));
    row->addStretch(1);
    column->addLayout(row);
    return row;
}

QLabel *PageBase::formTitle(const QString &text, QWidget *parent)
{
    return PanelParts::label(text, QStringLiteral("title"), ChatFont::title2(QFont::Bold), parent);
}

void PageBase::confirm(const QString &question, const QString &choice, bool destructive,
                       std::function<void()> action)
{
    ConfirmDialog::open(this, question, {{choice, destructive, std::move(action)}}, {});
}

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
