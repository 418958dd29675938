#pragma once

#include <QSize>

class PageBase;
class QDialog;
class QWidget;

// Where every sheet of the window is shown: in a dialog of its own, window-modal over
// `window`'s window, at least `floor` large (a floor under the sheet's own size, so that a
// sheet that grows, like the report's note, grows the dialog instead of squeezing its rows).
// The sheet's closeRequested() rejects the dialog, and a finished dialog deletes itself and
// the sheet. The caller opens the dialog once it has connected what it needs.
namespace SheetHost {

QDialog *create(QWidget *window, PageBase *sheet, QSize floor = {});

} // namespace SheetHost
