#pragma once
// The clipboard commands of a table and its context menu. The commands work
// on the table's cells through the clipboard text codec; only the text moves
// through the system clipboard.
#include <QObject>

#include "entry/clipboard.h"

class QAction;
class QMenu;
class QWidget;

namespace trevolo {

class StringGrid;

// The selected cells, in the table's cell terms.
GridRect Grid_Selection(const StringGrid* grid);
// Puts the selected cells on the clipboard (an empty text when nothing
// valid is selected).
void Grid_Copy(StringGrid* grid);
// Writes the clipboard text into the table from the selection's top-left
// cell; a clipboard without text writes nothing.
void Grid_Paste(StringGrid* grid);
// Empties every selected cell.
void Grid_DeleteSelection(StringGrid* grid);
// Selects every data cell; the current cell moves to the bottom-right one.
void Grid_SelectAll(StringGrid* grid);

// The context menu of a table with its five commands: "切り取り(&T)" Ctrl+X,
// "コピー(&C)" Ctrl+C, "貼付け(&P)" Ctrl+V, "削除(&D)" Del and
// "すべて選択(&A)" Ctrl+A. The shortcuts act only while the table itself has
// the focus (not its in-place editor); the owner connects each action's
// triggered signal to its handler.
struct GridPopMenu {
    QMenu* menu = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
    QAction* del = nullptr;
    QAction* selectAll = nullptr;
};
GridPopMenu CreateGridPopMenu(StringGrid* grid, QWidget* owner);

}  // namespace trevolo
