// The clipboard commands of the tables, the context menu of the measurement
// table, and the lot-number editor as the main window uses it.
#include "app/clipboard_view.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include "app/mainform.h"
#include "app/stringgrid.h"
#include "entry/clipboard.h"
#include "app/lot_edit_form.h"
#include "entry/lot_numbers.h"
#include "model/number.h"

namespace trevolo {

namespace {

GridRect Selection(const StringGrid* grid)
{
    const StringGrid::Rect r = grid->selectionRect();
    return {r.left, r.top, r.right, r.bottom};
}

// Key presses that reach the table without passing the shortcut machinery
// (delivered straight to the widget) still run the menu's commands, so the
// table never falls back on the view's own single-cell copy.
class ShortcutKeys : public QObject {
public:
    ShortcutKeys(StringGrid* grid, std::initializer_list<QAction*> actions) : QObject(grid), actions_(actions) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* k = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(k->keyCombination());
        for (QAction* a : actions_) {
            if (a->isEnabled() && a->shortcut() == pressed) {
                a->trigger();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::vector<QAction*> actions_;
};

}  // namespace

void Grid_Copy(StringGrid* grid)
{
    const std::string text = Grid_CopyText(grid->cells(), grid->shape(), Selection(grid));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void Grid_Paste(StringGrid* grid)
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    if (Grid_PasteText(grid->cells(), grid->shape(), Selection(grid), text.toStdString()) > 0)
        grid->gridModel()->cellsChanged();
}

void Grid_DeleteSelection(StringGrid* grid)
{
    Grid_DeleteCells(grid->cells(), grid->shape(), Selection(grid));
    grid->gridModel()->cellsChanged();
}

void Grid_SelectAll(StringGrid* grid)
{
    const GridRect all = Grid_AllCells(grid->shape());
    if (all.right < all.left || all.bottom < all.top)
        return;
    GridModel* m = grid->gridModel();
    const QModelIndex topLeft = m->index(all.top - 1, all.left);
    const QModelIndex bottomRight = m->index(all.bottom - 1, all.right);
    grid->selectionModel()->setCurrentIndex(bottomRight, QItemSelectionModel::NoUpdate);
    grid->selectionModel()->select(QItemSelection(topLeft, bottomRight), QItemSelectionModel::ClearAndSelect);
    grid->viewport()->update();
}

GridPopMenu CreateGridPopMenu(StringGrid* grid, QWidget* owner)
{
    GridPopMenu p;
    p.menu = new QMenu(owner);
    p.menu->setObjectName(QStringLiteral("popMenu"));
    auto item = [&](const char* name, const QString& caption, const QKeySequence& key) {
        QAction* a = p.menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        // The shortcut belongs to the table alone: it does nothing while the
        // in-place editor or any other control has the focus.
        a->setShortcutContext(Qt::WidgetShortcut);
        grid->addAction(a);
        return a;
    };
    p.cut = item("popMenuCut", QStringLiteral("切り取り(&T)"), QKeySequence(Qt::CTRL | Qt::Key_X));
    p.menu->addSeparator();
    p.copy = item("popMenuCopy", QStringLiteral("コピー(&C)"), QKeySequence(Qt::CTRL | Qt::Key_C));
    p.paste = item("popMenuPaste", QStringLiteral("貼付け(&P)"), QKeySequence(Qt::CTRL | Qt::Key_V));
    p.del = item("popMenuDelete", QStringLiteral("削除(&D)"), QKeySequence(Qt::Key_Delete));
    p.menu->addSeparator();
    p.selectAll = item("popMenuAllSelect", QStringLiteral("すべて選択(&A)"), QKeySequence(Qt::CTRL | Qt::Key_A));
    grid->installEventFilter(new ShortcutKeys(grid, {p.cut, p.copy, p.paste, p.del, p.selectAll}));

    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu* menu = p.menu;
    QObject::connect(grid, &QWidget::customContextMenuRequested, menu,
                     [grid, menu](const QPoint& pos) { menu->popup(grid->viewport()->mapToGlobal(pos)); });
    return p;
}

// ---- the main window ----

void TMainForm::setupClipboard()
{
    const GridPopMenu p = CreateGridPopMenu(gridEdit, this);
    popMenu = p.menu;
    popMenuCut = p.cut;
    popMenuCopy = p.copy;
    popMenuPaste = p.paste;
    popMenuDelete = p.del;
    popMenuAllSelect = p.selectAll;
    auto bind = [this](QAction* a, void (TMainForm::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { RunCommand([&] { (this->*handler)(); }); });
    };
    bind(popMenuCut, &TMainForm::popMenuCutClick);
    bind(popMenuCopy, &TMainForm::popMenuCopyClick);
    bind(popMenuPaste, &TMainForm::popMenuPasteClick);
    bind(popMenuDelete, &TMainForm::popMenuDeleteClick);
    bind(popMenuAllSelect, &TMainForm::popMenuAllSelectClick);
}

void TMainForm::popMenuCutClick()
{
    popMenuCopy->trigger();
    popMenuDelete->trigger();
}

void TMainForm::popMenuCopyClick()
{
    if (gridEdit->hasFocus())
        Grid_Copy(gridEdit);
}

void TMainForm::popMenuPasteClick()
{
    if (!gridEdit->hasFocus())
        return;
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        applyOutcome(session_.paste(Selection(gridEdit), text.toStdString()));
    gridEdit->autoColWidth();
}

void TMainForm::popMenuDeleteClick()
{
    if (gridEdit->hasFocus())
        applyOutcome(session_.clearCells(Selection(gridEdit)));
}

void TMainForm::popMenuAllSelectClick()
{
    if (gridEdit->hasFocus())
        Grid_SelectAll(gridEdit);
}

void TMainForm::btnLotEditClick()
{
    const int rows = gridCtrl->RowCount();
    LotEditForm->setLotNumbers(gridCtrl->cells(), rows);
    if (LotEditForm->exec() != QDialog::Accepted)
        return;

    std::vector<std::string> numbers;
    for (int r = 0; r < rows; ++r)
        numbers.push_back(LotEditForm->lotNumber(r));
    session_.renumberLots(numbers);
    for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridCalc, gridSpc})
        g->gridModel()->cellsChanged();
}

}  // namespace trevolo
