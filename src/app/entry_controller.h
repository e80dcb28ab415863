#pragma once
// Measurement entry: the in-place editor of the measurement table with its
// key filter and minus-sign rule, the editing mode, Enter commit-and-move,
// the drawing of the lot and measurement tables, the table's context menu
// with the clipboard commands, undo and redo, and the lot-number editor.
#include <QObject>

#include "app/stringgrid.h"
#include "app/window_host.h"
#include "document/sheet_session.h"
#include "document/workbook.h"

class QAction;
class QMenu;

namespace trevolo {

class HeaderPanel;
class LimitPanel;
class TLotEditForm;

class EntryController final : public QObject {
public:
    struct Controls {
        StringGrid* gridEdit;
        TplStringGrid* gridCtrl;
        HeaderPanel* header;
        LimitPanel* limits;
    };

    EntryController(Workbook& workbook, SheetSession& session, WindowHost& host, ShownSheet& shown,
                    const Controls& controls, QWidget* window);
    ~EntryController() override;

    // Undo (false) or redo (true) on the shown sheet: "元に戻す" (Ctrl+Z) and
    // "やり直し" (Ctrl+Y, Ctrl+Shift+Z). What is being typed is taken first,
    // as a step of its own.
    void undoRedo(bool redo);
    // "ﾛｯﾄ№編集": the lot numbers edited in their dialog.
    void btnLotEditClick();

private:
    // The undo and redo items enabled as the history allows; named names
    // the step of each.
    void showHistoryState(bool named);
    // Editing mode of gridEdit: off when it gets the focus or is clicked, so
    // the mouse only selects; on at any key-down, so typing opens the editor.
    void gridEditEnter();
    void gridEditKeyDown();
    // A character typed into gridEdit or its in-place editor; text is what
    // the character goes into (the editor's text less its selection; empty
    // when the character opens the editor, as it replaces the cell's text).
    // Enter commits the cell and moves on; other characters pass the numeric
    // key filter. False when the character is discarded.
    bool gridEditKeyPress(QChar key, const QString& text);
    CellLook gridEditDrawCell(int col, int row, bool focused, bool isCurrent) const;
    CellLook gridCtrlDrawCell(int col, int row, bool focused, bool isCurrent) const;
    void setupEntry();
    // The context menu of gridEdit with its shortcuts.
    void setupClipboard(QWidget* window);
    // Each acts only while gridEdit itself has the focus; cut is copy then
    // delete, paste is followed by fitting the column widths.
    void popMenuCutClick();
    void popMenuCopyClick();
    void popMenuPasteClick();
    void popMenuDeleteClick();
    void popMenuAllSelectClick();

    Workbook& workbook_;
    SheetSession& session_;
    WindowHost& host_;
    ShownSheet& shown_;
    Controls c_;
    TLotEditForm* lotEditForm_;
    QMenu* popMenu = nullptr;
    QAction* popMenuCopy = nullptr;
    QAction* popMenuDelete = nullptr;
    QAction* popMenuUndo = nullptr;
    QAction* popMenuRedo = nullptr;
    // Routes the measurement table's events to the handlers; removed first
    // when the controller goes, so no event of a dying table reaches them.
    QObject* entryEvents_ = nullptr;
};

}  // namespace trevolo
