#include "ui/common/PictureRows.h"

#include "ui/common/DecodedImageCache.h"

#include <QAbstractItemView>

void PictureRows::repaint(QAbstractItemView *view,
                          const std::function<bool(const QModelIndex &)> &shows)
{
    const QAbstractItemModel *model = view->model();
    QWidget *viewport = view->viewport();
    if (!model || !viewport->isVisible())
        return;
    const QRect area = viewport->rect();
    const QModelIndex root = view->rootIndex();
    const QModelIndex first = view->indexAt(area.topLeft());
    const int rows = model->rowCount(root);
    for (int row = first.isValid() ? first.row() : 0; row < rows; ++row) {
        const QModelIndex index = model->index(row, 0, root);
        const QRect rect = view->visualRect(index);
        if (rect.top() > area.bottom())
            break;
        if (rect.intersects(area) && shows(index))
            viewport->update(rect);
    }
}

void PictureRows::follow(QAbstractItemView *view, Shows shows)
{
    QObject::connect(DecodedImageCache::shared(), &DecodedImageCache::ready, view->viewport(),
                     [view, shows = std::move(shows)](const QSet<QString> &pictures) {
                         repaint(view,
                                 [&](const QModelIndex &index) { return shows(index, pictures); });
                     });
}
