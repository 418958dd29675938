#pragma once

#include "ui/common/UiMetrics.h"

#include <QWidget>

#include <functional>

class QAbstractItemModel;
class QBoxLayout;
class QDialog;
class QLabel;
class QListView;
class QPushButton;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;

// The base of the detail column's pages and of the sheets. It builds their title bar and their
// form column, and asks its presenter to close it with closeRequested(): a page never changes
// the window's navigation itself.
class PageBase : public QWidget
{
    Q_OBJECT
public:
    explicit PageBase(const QString &objectName, QWidget *parent = nullptr);

signals:
    // "닫기" or "취소" was pressed, or the page is done: the presenter takes it away.
    void closeRequested();

protected:
    // Escape anywhere on the page asks for the close, as its "닫기" does: for pages that stand
    // over another one (the settings' own pages) or over the list.
    void closeOnEscape();
    // The plain "닫기" (object name "close"), which asks for the close.
    QPushButton *closeButton(Qt::Alignment textAlign = Qt::AlignHCenter);
    // The push button "취소" (object name "cancel"), in the desktop's style, which asks for the
    // close.
    QPushButton *cancelButton();

    // The title bar of a list page: "닫기" and the title, padded 16 to the button's text.
    QWidget *listTitleBar(const QString &title);
    // The title bar (object name "header"): `leading` and `trailing` at the sides and the title
    // (object name "title") in the headline font between them. Both sides are equally wide, and
    // at least 44 × 44 even where there is no button, so that the title stays centred.
    QWidget *titleBar(const QString &title, QWidget *leading, QWidget *trailing = nullptr);

    // Lays `host` (this page by default) out as a form page: a column padded 24 pixels on every
    // side and at most `maxWidth` wide, centred at the top, the rest of the page left empty
    // below it. Returns the column's layout, which has `spacing`.
    QVBoxLayout *formColumn(int spacing, QWidget *host = nullptr,
                            int maxWidth = UiMetrics::formMaxWidth);
    // Lays `host` (this page by default) out as one column padded `padding` on every side, its
    // items `spacing` apart.
    QVBoxLayout *pageColumn(int padding, int spacing, QWidget *host = nullptr);
    // A scroller for `content` that scrolls only up and down, on the window colour, and takes no
    // keyboard focus itself.
    QScrollArea *scroller(QWidget *content);
    // Sets `list` up for rows of people: `model`'s rows, all of one height, without a frame or a
    // selection, scrolled by pixels; its avatars repaint as they are decoded.
    void setUpList(QListView *list, QAbstractItemModel *model, const QString &name,
                   const QString &accessibleName);
    // `list` stacked over a page with `empty`, which takes the list's place while its model has
    // no rows; `empty` stands 14 pixels down, in line with the rows' text.
    QStackedLayout *listOrEmpty(QListView *list, QWidget *empty);

    // The plain "닫기" of a form page, below its main action, its text lined up with the column.
    // Returns the row, which keeps its end `trailing` pixels out into the padding for a button
    // added there.
    QBoxLayout *addCloseRow(QVBoxLayout *column, int trailing = 0);
    // The title of a form page: title-2 size, bold (object name "title").
    QLabel *formTitle(const QString &text, QWidget *parent);
    // Asks `question` with the one choice `choice` (and "취소"), which runs `action`.
    void confirm(const QString &question, const QString &choice, bool destructive,
                 std::function<void()> action);
};

// Where every sheet of the window is shown: in a dialog of its own, window-modal over
// `window`'s window, at least `floor` large (a floor under the sheet's own size, so that a
// sheet that grows, like the report's note, grows the dialog instead of squeezing its rows).
// The sheet's closeRequested() rejects the dialog, and a finished dialog deletes itself and
// the sheet. The caller opens the dialog once it has connected what it needs.
namespace SheetHost {

QDialog *create(QWidget *window, PageBase *sheet, QSize floor = {});

} // namespace SheetHost
