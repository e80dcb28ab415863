#include "app/stringgrid.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <algorithm>

#include "app/fonts.h"

namespace trevolo {

GridDelegate::GridDelegate(StringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void GridDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool focused = grid_->hasFocus() || grid_->viewport()->hasFocus() || grid_->isPersistentEditorOpen(index);
    const QModelIndex cur = grid_->currentIndex();
    const bool isCurrent =
        cur.isValid() && cur.row() == index.row() &&
        (grid_->selectionBehavior() == QAbstractItemView::SelectRows || cur.column() == index.column());
    grid_->paintCell(p, option.rect, index.column(), index.row() + 1, focused, isCurrent);
}

bool GridDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&)
{
    return false;
}

GridModel::GridModel(int storeColumns, QObject* parent, int storeRows)
    : QAbstractTableModel(parent), own_(std::make_unique<CellStore>(storeColumns, storeRows)), cells_(own_.get())
{
}

GridModel::GridModel(CellStore& store, QObject* parent) : QAbstractTableModel(parent), cells_(&store) {}

void GridModel::setShape(int rowCount, int colCount)
{
    rowCount = std::clamp(rowCount, 1, cells_->rows());
    colCount = std::clamp(colCount, 0, cells_->columns());
    if (rowCount == rows_ && colCount == cols_)
        return;
    beginResetModel();
    rows_ = rowCount;
    cols_ = colCount;
    endResetModel();
}

void GridModel::cellsChanged()
{
    if (rows_ > 1 && cols_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 2, cols_ - 1));
    if (cols_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

void GridModel::cellChanged(int col, int row)
{
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    if (row < rows_ && col < cols_)
        emit dataChanged(index(row - 1, col), index(row - 1, col));
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_ - 1;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : cols_;
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::CheckStateRole)
        return index.column() == checkColumn
                   ? QVariant(cells_->flag(index.column(), index.row() + 1) ? Qt::Checked : Qt::Unchecked)
                   : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::AccessibleTextRole)
        return {};
    return QString::fromStdString(cells_->text(index.column(), index.row() + 1));
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole)
        return false;
    if (onEdit) {
        onEdit(index.column(), index.row() + 1, value.toString().toStdString());
        return true;
    }
    cells_->setText(index.column(), index.row() + 1, value.toString().toStdString());
    emit dataChanged(index, index);
    return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return QString::fromStdString(cells_->text(section, 0));
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable && index.isValid())
        f |= Qt::ItemIsEditable;
    if (index.isValid() && index.column() == checkColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

StringGrid::StringGrid(int storeColumns, int fixedCols, QWidget* parent, int storeRows)
    : QTableView(parent), model_(new GridModel(storeColumns, this, storeRows)), fixedCols_(fixedCols)
{
    setup();
}

StringGrid::StringGrid(CellStore& store, int fixedCols, QWidget* parent)
    : QTableView(parent), model_(new GridModel(store, this)), fixedCols_(fixedCols)
{
    setup();
}

void StringGrid::setup()
{
    setModel(model_);
    setItemDelegate(new GridDelegate(this));
    setFont(GothicFont(15));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The minimum first: a default below the font-derived minimum is raised to it.
    verticalHeader()->setMinimumSectionSize(10);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(10);
    horizontalHeader()->setFixedHeight(22);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setGridStyle(Qt::SolidLine);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
}

void StringGrid::setShape(int rowCount, int colCount)
{
    model_->setShape(rowCount, colCount);
}

void StringGrid::setColWidth(int col, int width)
{
    if (col >= 0 && col < ColCount())
        setColumnWidth(col, width);
}

int StringGrid::colWidth(int col) const
{
    return columnWidth(col);
}

GridPos StringGrid::current() const
{
    const QModelIndex i = currentIndex();
    if (!i.isValid())
        return {-1, -1};
    return {i.column(), i.row() + 1};
}

void StringGrid::setCurrent(GridPos pos)
{
    const QModelIndex i = model_->index(pos.row - 1, pos.col);
    if (i.isValid())
        setCurrentIndex(i);
}

StringGrid::Rect StringGrid::selectionRect() const
{
    Rect r;
    const QItemSelection sel = selectionModel() ? selectionModel()->selection() : QItemSelection();
    bool any = false;
    for (const QItemSelectionRange& range : sel) {
        if (!any) {
            r = {range.left(), range.top() + 1, range.right(), range.bottom() + 1};
            any = true;
        } else {
            r.left = std::min(r.left, range.left());
            r.top = std::min(r.top, range.top() + 1);
            r.right = std::max(r.right, range.right());
            r.bottom = std::max(r.bottom, range.bottom() + 1);
        }
    }
    if (!any) {
        const GridPos c = current();
        if (c.row > 0)
            r = {c.col, c.row, c.col, c.row};
    }
    return r;
}

bool StringGrid::commitEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return false;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void StringGrid::setTopRow(int row)
{
    const QModelIndex i = model_->index(row - 1, 0);
    if (i.isValid())
        scrollTo(i, QAbstractItemView::PositionAtTop);
}

int StringGrid::topRow() const
{
    return rowAt(0) + 1;
}

const QString& StringGrid::cellText(int col, int row) const
{
    scratch_ = QString::fromStdString(cells().text(col, row));
    return scratch_;
}

void StringGrid::setCellText(int col, int row, const QString& text)
{
    // Written as the in-place editor writes it, through whoever takes it.
    if (model_->onEdit && row >= 1) {
        model_->onEdit(col, row, text.toStdString());
        return;
    }
    cells().setText(col, row, text.toStdString());
    model_->cellChanged(col, row);
}

int StringGrid::textWidth(std::string_view utf8) const
{
    if (!asciiValid_) {
        const QFontMetrics fm(font());
        for (int c = 0; c < 128; ++c)
            asciiAdvance_[c] = fm.horizontalAdvance(QChar(c));
        asciiValid_ = true;
        wideWidths_.clear();
    }
    int w = 0;
    for (char ch : utf8) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u >= 128)
            return wideTextWidth(utf8);
        w += asciiAdvance_[u];
    }
    return w;
}

int StringGrid::wideTextWidth(std::string_view utf8) const
{
    // Tables repeat few such texts (verdicts, headers, labels): shaping each
    // once keeps a fit of 1000 verdicts cheap. A table of other texts does
    // not grow the memo without end.
    const std::string key(utf8);
    if (const auto it = wideWidths_.find(key); it != wideWidths_.end())
        return it->second;
    if (wideWidths_.size() >= 4096)
        wideWidths_.clear();
    const int w =
        QFontMetrics(font()).horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    wideWidths_.emplace(key, w);
    return w;
}

void StringGrid::autoColWidth()
{
    const std::vector<int> widths = fit_.fit(cells(), shape(), [this](std::string_view t) { return textWidth(t); });
    for (size_t c = 0; c < widths.size(); ++c)
        setColumnWidth(static_cast<int>(c), widths[c]);
}

CellLook StringGrid::entryLook(int col, int row, bool focused, bool isCurrent, Qt::Alignment align) const
{
    CellLook look;
    look.background = palette().color(QPalette::Base);
    look.text = Qt::black;
    look.align = align;
    if (!focused)
        return look;
    if (isCurrent) {
        look.background = kCurrentCellColor;
    } else if (selectionModel()->isSelected(model_->index(row - 1, col))) {
        look.background = palette().color(QPalette::Active, QPalette::Highlight);
        look.text = palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    return look;
}

CellLook StringGrid::fixedLook() const
{
    CellLook look;
    look.background = palette().color(QPalette::Button);
    look.text = Qt::black;
    look.align = Qt::AlignCenter;
    return look;
}

void StringGrid::paintCell(QPainter* p, const QRect& rect, int col, int row, bool focused, bool isCurrent)
{
    CellLook look;
    if (drawCell) {
        look = drawCell(col, row, focused, isCurrent);
    } else {
        look.background = palette().color(QPalette::Base);
        look.text = Qt::black;
        if (focused && isCurrent)
            look.background = QColor(255, 255, 0);
    }
    p->fillRect(rect, look.background);
    p->setPen(look.text);
    p->drawText(rect, static_cast<int>(look.align | Qt::TextSingleLine),
                QString::fromStdString(cells().text(col, row)));
}

void StringGrid::focusInEvent(QFocusEvent* e)
{
    QTableView::focusInEvent(e);
    viewport()->update();
}

void StringGrid::focusOutEvent(QFocusEvent* e)
{
    QTableView::focusOutEvent(e);
    viewport()->update();
}

void StringGrid::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        asciiValid_ = false;
        fit_.forget();
    }
    QTableView::changeEvent(e);
}

TplStringGrid::TplStringGrid(QWidget* parent) : StringGrid(2, 1, parent)
{
    gridModel()->checkColumn = 1;
}

TplStringGrid::TplStringGrid(CellStore& store, QWidget* parent) : StringGrid(store, 1, parent)
{
    gridModel()->checkColumn = 1;
}

void TplStringGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    StringGrid::dataChanged(topLeft, bottomRight, roles);
    // Only a single switch: a range (Space over a selection, a sheet shown)
    // is read again by whoever needs it, not told cell by cell.
    if (!QAccessible::isActive() || topLeft != bottomRight || topLeft.column() != 1)
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    if (QAccessibleInterface* cell = cells ? cells->cellAt(topLeft.row(), topLeft.column()) : nullptr) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(cell, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void TplStringGrid::setFlag(int row, bool on)
{
    cells().setFlag(1, row, on);
    gridModel()->cellChanged(1, row);
}

void TplStringGrid::toggle(int row)
{
    if (onToggle)
        onToggle(row, row);
    else
        setFlag(row, !flag(row));
}

void TplStringGrid::paintCell(QPainter* p, const QRect& rect, int col, int row, bool focused, bool isCurrent)
{
    StringGrid::paintCell(p, rect, col, row, focused, isCurrent);
    if (col != 1 || row < 1)
        return;
    // The check box: 5 pixels in, 2 pixels from top and bottom, square.
    const int top = rect.top() + 2;
    const int bottom = rect.bottom() + 1 - 2;
    const int side = bottom - top;
    const QRect box(rect.left() + 5, top, side, side);
    QStyleOptionButton opt;
    opt.rect = box;
    opt.palette = palette();
    opt.state = QStyle::State_Enabled | (flag(row) ? QStyle::State_On : QStyle::State_Off);
    // A visible frame under the style's mark, so an unchecked box reads as a box.
    p->setPen(QColor(96, 96, 96));
    p->setBrush(Qt::white);
    p->drawRect(box.adjusted(0, 0, -1, -1));
    p->setBrush(Qt::NoBrush);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, p, this);
    const bool on = flag(row);
    p->setPen(on ? palette().color(QPalette::WindowText) : QColor(255, 0, 0));
    const QRect label(rect.left() + side + 7, rect.top() + 2, rect.width() - side - 7, rect.height() - 2);
    p->drawText(label, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                on ? QStringLiteral("有効") : QStringLiteral("無効"));
}

QMouseEvent TplStringGrid::intoCheckColumn(const QMouseEvent* e) const
{
    QPointF pos = e->position();
    const int col = columnAt(static_cast<int>(pos.x()));
    if (col >= 0 && col < FixedCols())
        pos.setX(columnViewportPosition(FixedCols()) + 1);
    return QMouseEvent(e->type(), pos, e->scenePosition(), e->globalPosition(), e->button(), e->buttons(),
                       e->modifiers(), e->pointingDevice());
}

void TplStringGrid::mousePressEvent(QMouseEvent* e)
{
    // The lot number under the pointer toggles nothing; the press selects
    // the check cell of its row.
    const QModelIndex i = indexAt(e->position().toPoint());
    QMouseEvent moved = intoCheckColumn(e);
    StringGrid::mousePressEvent(&moved);
    e->setAccepted(moved.isAccepted());
    if (e->button() != Qt::LeftButton)
        return;
    if (i.isValid() && i.column() == 1)
        toggle(i.row() + 1);
}

void TplStringGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The second press of a double-click is a press too, and inverts again.
    mousePressEvent(e);
}

void TplStringGrid::mouseMoveEvent(QMouseEvent* e)
{
    QMouseEvent moved = intoCheckColumn(e);
    StringGrid::mouseMoveEvent(&moved);
    e->setAccepted(moved.isAccepted());
}

void TplStringGrid::mouseReleaseEvent(QMouseEvent* e)
{
    QMouseEvent moved = intoCheckColumn(e);
    StringGrid::mouseReleaseEvent(&moved);
    e->setAccepted(moved.isAccepted());
}

QModelIndex TplStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex i = StringGrid::moveCursor(action, modifiers);
    if (i.isValid() && i.column() < FixedCols())
        i = gridModel()->index(i.row(), FixedCols());
    return i;
}

void TplStringGrid::selectAll()
{
    const int rows = RowCount() - 1;
    if (rows < 1 || ColCount() <= FixedCols())
        return;
    const QModelIndex top = gridModel()->index(0, FixedCols());
    const QModelIndex bottom = gridModel()->index(rows - 1, ColCount() - 1);
    selectionModel()->select(QItemSelection(top, bottom), QItemSelectionModel::ClearAndSelect);
}

void TplStringGrid::keyPressEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers other = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (e->key() == Qt::Key_Space && other == Qt::NoModifier) {
        // Every row of the selection flips its own flag when the selection
        // starts in the check column; the selection itself stays.
        const Rect r = selectionRect();
        if (r.left == 1) {
            if (onToggle) {
                onToggle(std::max(r.top, 1), r.bottom);
            } else {
                for (int row = std::max(r.top, 1); row <= r.bottom; ++row)
                    cells().setFlag(1, row, !cells().flag(1, row));
                gridModel()->cellsChanged();
            }
        }
        e->accept();
        return;
    }
    StringGrid::keyPressEvent(e);
}

}  // namespace trevolo
