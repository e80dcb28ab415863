#pragma once
// The lot-number editor "ﾛｯﾄ№編集": one column holding the lot numbers of the
// current sheet, header row included, edited in place. OK refuses a blank
// number; Cancel returns nothing.
#include <QDialog>
#include <string>

#include "app/stringgrid.h"

class QAction;
class QMenu;
class QPushButton;

namespace trevolo {

class TLotEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TLotEditForm(QWidget* parent = nullptr);

    // Fills the editor with column 0 of rows 0 .. rowCount - 1 of a table
    // (the lot table's numbers); the row count becomes the editor's.
    void setLotNumbers(const CellStore& cells, int rowCount);
    // The text of a row of the editor (row 0 is the header).
    std::string lotNumber(int row) const;

    // Handlers.
    void FormShow();
    void btnOkClick();
    void btnCancelClick();
    // Editing mode as in the measurement table: off on entering the table
    // and on a click, on at any key-down.
    void gridLotnoEnter();
    void gridLotnoClick();
    void gridLotnoKeyDown();
    // Enter moves to the next row, from the last back to the first data row.
    // No character is refused; returns false when the key was used up.
    bool gridLotnoKeyPress(QChar key);
    CellLook gridLotnoDrawCell(int col, int row, bool focused, bool isCurrent) const;
    void popMenuCutClick();
    void popMenuCopyClick();
    void popMenuPasteClick();
    void popMenuDeleteClick();
    void popMenuAllSelectClick();

    StringGrid* gridLotno;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QMenu* popMenu;
    QAction* popMenuCut;
    QAction* popMenuCopy;
    QAction* popMenuPaste;
    QAction* popMenuDelete;
    QAction* popMenuAllSelect;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace trevolo
