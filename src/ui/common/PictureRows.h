#pragma once

#include <QModelIndex>
#include <QSet>
#include <QString>

#include <functional>

class QAbstractItemView;

// The rows of a list that wait for decoded pictures: when the shared picture cache announces
// pictures, only the rows in sight that show one of them are repainted, not the whole list.
namespace PictureRows {

// Whether the row at `index` shows one of `pictures` (DecodedImageCache::concerns).
using Shows = std::function<bool(const QModelIndex &index, const QSet<QString> &pictures)>;

// From now on, for as long as `view` lives, repaints its rows that show an announced picture.
void follow(QAbstractItemView *view, Shows shows);

// Repaints the rows of `view` in sight for which `shows` holds.
void repaint(QAbstractItemView *view, const std::function<bool(const QModelIndex &)> &shows);

} // namespace PictureRows
