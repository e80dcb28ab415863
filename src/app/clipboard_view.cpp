// The clipboard commands of the tables and their context menu.
#include "app/clipboard_view.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include "app/stringgrid.h"
#include "entry/clipboard.h"

namespace trevolo {

GridRect Grid_Selection(const StringGrid* grid)
{
    const StringGrid::Rect r = grid->selectionRect();
    return {r.left, r.top, r.right, r.bottom};
}

namespace {

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
            if (a->isEnabled() && a->shortcuts().contains(pressed)) {
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
    const std::string text = CopyGridText(grid->cells(), grid->shape(), Grid_Selection(grid));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void Grid_Paste(StringGrid* grid)
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    if (PasteGridText(grid->cells(), grid->shape(), Grid_Selection(grid), text.toStdString()) > 0)
        grid->gridModel()->cellsChanged();
}

void Grid_DeleteSelection(StringGrid* grid)
{
    DeleteGridCells(grid->cells(), grid->shape(), Grid_Selection(grid));
    grid->gridModel()->cellsChanged();
}

void Grid_SelectAll(StringGrid* grid)
{
    const GridRect all = AllGridCells(grid->shape());
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

}  // namespace trevolo
