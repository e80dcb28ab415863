#pragma once
// The tables of the main window: a table view over a cell store that keeps
// rows 0 to 1000 and every column the table can show. Row 0 of the store is
// the header row; data row r of the store is row r - 1 of the view. Cell
// colours and alignment are decided at paint time by the owner's drawCell.
#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/cellstore.h"
#include "model/comfunction.h"

namespace trevolo {

class StringGrid;

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The store keeps rows 0 .. storeRows - 1, whatever the displayed count.
    GridModel(int storeColumns, QObject* parent, int storeRows = kStoreRows);
    // A view of a store kept elsewhere (the document's), which outlives it.
    GridModel(CellStore& store, QObject* parent);

    CellStore& cells() { return *cells_; }
    const CellStore& cells() const { return *cells_; }

    // Displayed counts, header row included (the view shows rowCount - 1 rows).
    int gridRowCount() const { return rows_; }
    int gridColCount() const { return cols_; }
    void setShape(int rowCount, int colCount);

    bool editable = false;
    // The column whose cells are switches: each reports its flag as its
    // check state, so assistive technology reads it as a check box. The
    // table paints the switch and turns it over itself.
    int checkColumn = -1;

    // Tells the views that cells changed behind the model's back (bulk work on
    // the store); only what is on screen is painted again.
    void cellsChanged();
    void cellChanged(int col, int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Takes what the in-place editor wrote into a cell (col, row in grid
    // terms) in place of writing it into the store; whoever takes it writes
    // the cell and repaints it.
    std::function<void(int col, int row, const std::string& text)> onEdit;

private:
    std::unique_ptr<CellStore> own_;
    CellStore* cells_;
    int rows_ = 1;
    int cols_ = 0;
};

// Colours of the tables: the current cell or row while the table has the
// focus, the even lot rows of the statistics and SPC tables, and the red of
// out-of-limit values and abnormal results.
inline const QColor kCurrentCellColor{255, 255, 0};
inline const QColor kEvenRowColor{150, 245, 150};
inline const QColor kMarkColor{255, 0, 0};

// How one cell is painted.
struct CellLook {
    QColor background;
    QColor text;
    Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter;
};

// Paints every cell through the table's paintCell; tables with an in-place
// editor of their own derive from it for createEditor.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(StringGrid* grid);
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The tables take presses and keys themselves: a switch is turned over
    // by its table, never by the delegate writing its check state.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

protected:
    StringGrid* grid_;
};

class StringGrid : public QTableView {
    Q_OBJECT
public:
    StringGrid(int storeColumns, int fixedCols, QWidget* parent = nullptr, int storeRows = kStoreRows);
    // A table over a store kept elsewhere, which outlives the table.
    StringGrid(CellStore& store, int fixedCols, QWidget* parent = nullptr);

    GridModel* gridModel() const { return model_; }
    CellStore& cells() { return model_->cells(); }
    const CellStore& cells() const { return model_->cells(); }

    int RowCount() const { return model_->gridRowCount(); }
    int ColCount() const { return model_->gridColCount(); }
    int FixedCols() const { return fixedCols_; }
    GridShape shape() const { return {ColCount(), RowCount(), fixedCols_, 1}; }
    void setShape(int rowCount, int colCount);

    void setColWidth(int col, int width);
    int colWidth(int col) const;

    // Current cell in grid terms (row 1 = first data row); {-1, -1} when none.
    GridPos current() const;
    void setCurrent(GridPos pos);
    // The bounding rectangle of the selection in grid terms.
    struct Rect {
        int left = -1, top = -1, right = -1, bottom = -1;
    };
    Rect selectionRect() const;
    // Writes the text of an open in-place editor into its cell and closes
    // the editor, as leaving the editor does; false when none is open.
    bool commitEditor();

    // Makes the given data row the top visible row.
    void setTopRow(int row);
    int topRow() const;

    const QString& cellText(int col, int row) const;
    // Writes a cell as the in-place editor does: through the model's onEdit
    // when it is set, else into the store.
    void setCellText(int col, int row, const QString& text);

    // The look of an entry table's cell: the window colour and black text;
    // while the table has the focus, the current cell yellow and the other
    // selected cells in the platform's selection colours.
    CellLook entryLook(int col, int row, bool focused, bool isCurrent, Qt::Alignment align) const;
    // The look of a cell of a fixed column: the header colour, black text,
    // centred.
    CellLook fixedLook() const;

    // Decides the colours and alignment of a cell at paint time. When unset,
    // the window colour, black text and right alignment are used.
    std::function<CellLook(int col, int row, bool focused, bool isCurrent)> drawCell;

    // Fits every column to its widest displayed text (at least 85 pixels).
    // The widths of each row are kept with the row's stamp, so only rows
    // changed since the last fit are measured again.
    void autoColWidth();

protected:
    // The delegate paints each cell through paintCell.
    friend class GridDelegate;
    // Width of a text in the table's font; ASCII texts are measured from a
    // per-character table and others are remembered, so fitting 100,000
    // cells stays fast.
    int textWidth(std::string_view utf8) const;

    // Paints the cell; TplStringGrid paints its check box over it.
    virtual void paintCell(QPainter* p, const QRect& rect, int col, int row, bool focused, bool isCurrent);

    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void setup();
    int wideTextWidth(std::string_view utf8) const;

    GridModel* model_;
    int fixedCols_;
    mutable int asciiAdvance_[128];
    mutable bool asciiValid_ = false;
    mutable std::unordered_map<std::string, int> wideWidths_;
    mutable QString scratch_;
    // The column widths of the last fit, row by row.
    ColumnFit fit_;
};

// The lot table: its first column, the lot numbers, is fixed; its second
// column holds a check box per lot (the lot enabled flag). Every left press
// on a check cell (both presses of a double-click) and Space (with or without
// Shift) over a selection in the check column invert the flags. The current
// cell and the selection stay in the check column: a press or a drag over a
// lot number acts on the check cell of its row.
class TplStringGrid : public StringGrid {
    Q_OBJECT
public:
    explicit TplStringGrid(QWidget* parent = nullptr);
    explicit TplStringGrid(CellStore& store, QWidget* parent = nullptr);

    bool flag(int row) const { return cells().flag(1, row); }
    void setFlag(int row, bool on);
    void toggle(int row);
    // Takes the turning over of the switches of rows top..bottom (a press,
    // Space over a selection) in place of writing them into the store.
    std::function<void(int top, int bottom)> onToggle;

    void paintCell(QPainter* p, const QRect& rect, int col, int row, bool focused, bool isCurrent) override;
    // Ctrl+A: every lot's switch, not the lot numbers, so Space after it
    // turns every lot over.
    void selectAll() override;

protected:
    // A switch turned over alone is told to assistive technology as a
    // change of its checked state.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    // The event moved from a lot number to the check cell of its row.
    QMouseEvent intoCheckColumn(const QMouseEvent* e) const;
};

}  // namespace trevolo
