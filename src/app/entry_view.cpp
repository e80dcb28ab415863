// Measurement entry on the main window: the in-place editor of the
// measurement table with its key filter and minus-sign rule, the editing
// mode, Enter commit-and-move, the drawing of the lot and measurement
// tables, the table's context menu with the clipboard commands, undo and
// redo, and the lot-number editor.
#include <QAbstractItemDelegate>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTabBar>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/clipboard_view.h"
#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/lot_edit_form.h"
#include "app/mainform.h"
#include "entry/value_entry.h"

namespace trevolo {

namespace {

// The numeric key filter of the measurement table and the number fields:
// digits, and "." or "-" only while the text holds none yet. Control keys
// (Backspace among them) are not characters here and always pass.
bool NumericKeyAccepted(QChar ch, const QString& text)
{
    if (ch == QLatin1Char('.'))
        return !text.contains(QLatin1Char('.'));
    if (ch == QLatin1Char('-'))
        return !text.contains(QLatin1Char('-'));
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

// What the measurement table's editor and events call on the window.
struct EntryHandlers {
    // A character typed into the table or its editor (gridEditKeyPress).
    std::function<bool(QChar, const QString&)> keyPress;
    // Enter committed the current cell, run as a command.
    std::function<void(const QString&)> enter;
    // The editing mode: off at focus and clicks, on at any key-down.
    std::function<void()> modeOff;
    std::function<void()> modeOn;
};

// Paints through the grid's own cell painter (as every table does) and
// provides the in-place editor of the measurement table.
class EntryDelegate : public GridDelegate {
public:
    EntryDelegate(std::shared_ptr<const EntryHandlers> handlers, StringGrid* grid)
        : GridDelegate(grid), handlers_(std::move(handlers))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* e = new TEdit(parent);
        e->setObjectName(QStringLiteral("gridEditInplace"));
        e->setFrame(false);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        std::shared_ptr<const EntryHandlers> handlers = handlers_;
        // A typed character replaces the selected part of the text (all of
        // it when the editor was opened by typing), so "." and "-" are
        // tested against what remains.
        e->keyFilter = [handlers, e](QChar ch, const QString& text) {
            QString remaining = text;
            if (e->hasSelectedText())
                remaining.remove(e->selectionStart(), e->selectedText().size());
            return handlers->keyPress(ch, remaining);
        };
        // The minus-sign rule applies to every change the user makes, as it
        // happens, so the editor never shows a misplaced sign.
        QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& typed) {
            std::string t = typed.toStdString();
            const int removedByte = RemoveMisplacedMinus(t);
            if (removedByte < 0)
                return;
            // The removed sign's position in the editor's characters.
            const qsizetype removed = QString::fromStdString(t.substr(0, static_cast<size_t>(removedByte))).size();
            const int cursor = e->cursorPosition();
            e->setText(QString::fromStdString(t));
            e->setCursorPosition(cursor > removed ? cursor - 1 : cursor);
        });
        return e;
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress && IsEnterKey(static_cast<QKeyEvent*>(event))) {
            // Enter writes the editor's text into the cell, closes the editor
            // and then commits and moves like Enter in the table.
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            const GridPos pos = grid_->current();
            handlers_->enter(grid_->cellText(pos.col, pos.row));
            return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::shared_ptr<const EntryHandlers> handlers_;
};

// Routes the events of the measurement table to the window's handlers.
class EntryEvents : public QObject {
public:
    EntryEvents(QObject* owner, std::shared_ptr<const EntryHandlers> handlers, StringGrid* grid, StringGrid* lots)
        : QObject(owner), handlers_(std::move(handlers)), grid_(grid), lots_(lots)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        StringGrid* grid = grid_;
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == grid || watched == grid->horizontalScrollBar())
                fitLotTable();
            break;
        case QEvent::FocusIn:
            if (watched == grid)
                handlers_->modeOff();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (watched == grid->viewport())
                handlers_->modeOff();
            break;
        case QEvent::KeyPress: {
            if (watched != grid)
                break;
            auto* k = static_cast<QKeyEvent*>(event);
            handlers_->modeOn();
            const GridPos pos = grid->current();
            if (pos.row < 1)
                break;
            if (IsEnterKey(k)) {
                handlers_->enter(grid->cellText(pos.col, pos.row));
                return true;
            }
            // A character typed on the table opens the editor with that
            // character in place of the cell's text; a refused one opens
            // nothing.
            if (IsTypedChar(k) && !handlers_->keyPress(k->text().at(0), QString()))
                return true;
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

    // The lot table has no scroll bars; it ends where the measurement table's
    // rows end, above that table's horizontal scroll bar, so both can scroll
    // to the same last row and every lot number stays beside its values.
    void fitLotTable()
    {
        StringGrid* grid = grid_;
        const QScrollBar* bar = grid->horizontalScrollBar();
        const int barHeight = bar->isVisibleTo(grid) ? bar->height() : 0;
        lots_->setMaximumHeight(std::max(0, grid->height() - barHeight));
    }

private:
    std::shared_ptr<const EntryHandlers> handlers_;
    StringGrid* grid_;
    StringGrid* lots_;
};

}  // namespace

void TMainForm::setupEntry()
{
    auto handlers = std::make_shared<EntryHandlers>();
    handlers->keyPress = [this](QChar ch, const QString& text) { return gridEditKeyPress(ch, text); };
    handlers->enter = [this](const QString& text) { RunCommand([&] { gridEditKeyPress(QChar(13), text); }); };
    handlers->modeOff = [this] { gridEditEnter(); };
    handlers->modeOn = [this] { gridEditKeyDown(); };
    gridEdit->setItemDelegate(new EntryDelegate(handlers, gridEdit));
    auto* events = new EntryEvents(this, handlers, gridEdit, gridCtrl);
    entryEvents_ = events;
    gridEdit->installEventFilter(events);
    gridEdit->viewport()->installEventFilter(events);
    gridEdit->horizontalScrollBar()->installEventFilter(events);
    gridEdit->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TMainForm::gridEditEnter()
{
    gridEdit->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TMainForm::gridEditKeyDown()
{
    gridEdit->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
}

bool TMainForm::gridEditKeyPress(QChar key, const QString& text)
{
    if (key.unicode() != 13)
        return NumericKeyAccepted(key, text);

    // Enter: the session formats the committed value (or empties one that
    // is not a number) and says where the current cell goes.
    const GridPos pos = gridEdit->current();
    if (pos.row < 1)
        return false;
    const Outcome o = session_.edits().commitValue(pos.col, pos.row);
    if (o.current) {
        gridEdit->setCurrent(*o.current);
        gridEdit->viewport()->update();
    }
    return false;
}

CellLook TMainForm::gridEditDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look = gridEdit->entryLook(col, row, focused, isCurrent, Qt::AlignRight | Qt::AlignVCenter);
    // Value, limits and kind as they stand now, so the marking follows
    // later edits of values and limits.
    if (session_.valueIsMarked(col, row))
        look.text = kMarkColor;
    return look;
}

CellLook TMainForm::gridCtrlDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    // The lot numbers are a fixed column: drawn like the header, never
    // current or selected.
    if (col < gridCtrl->FixedCols())
        return gridCtrl->fixedLook();
    return gridCtrl->entryLook(col, row, focused, isCurrent, Qt::AlignCenter);
}

// ---- the context menu of the measurement table ----

void TMainForm::setupClipboard()
{
    const GridPopMenu p = CreateGridPopMenu(gridEdit, this);
    popMenu = p.menu;
    popMenuCut = p.cut;
    popMenuCopy = p.copy;
    popMenuPaste = p.paste;
    popMenuDelete = p.del;
    popMenuAllSelect = p.selectAll;
    // Undo and redo head the menu. Their keys work in every table and field
    // of the window (eventFilter); here they belong to the table, as the
    // menu's other keys do.
    QAction* first = popMenu->actions().value(0);
    auto historyItem = [&](const char* name, const QString& caption, QList<QKeySequence> keys) {
        auto* a = new QAction(caption, popMenu);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WidgetShortcut);
        popMenu->insertAction(first, a);
        gridEdit->addAction(a);
        return a;
    };
    popMenuUndo = historyItem("popMenuUndo", QStringLiteral("元に戻す(&U)"), {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    popMenuRedo = historyItem("popMenuRedo", QStringLiteral("やり直し(&R)"),
                              {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    popMenu->insertSeparator(first);
    connect(popMenu, &QMenu::aboutToShow, this, [this] {
        popMenuUndo->setEnabled(session_.canUndo());
        popMenuRedo->setEnabled(session_.canRedo());
    });
    auto bind = [this](QAction* a, void (TMainForm::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { RunCommand([&] { (this->*handler)(); }); });
    };
    bind(popMenuCut, &TMainForm::popMenuCutClick);
    bind(popMenuCopy, &TMainForm::popMenuCopyClick);
    bind(popMenuPaste, &TMainForm::popMenuPasteClick);
    bind(popMenuDelete, &TMainForm::popMenuDeleteClick);
    bind(popMenuAllSelect, &TMainForm::popMenuAllSelectClick);
    bind(popMenuUndo, &TMainForm::popMenuUndoClick);
    bind(popMenuRedo, &TMainForm::popMenuRedoClick);
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
        applyOutcome(session_.edits().paste(Grid_Selection(gridEdit), text.toStdString()));
    gridEdit->autoColWidth();
}

void TMainForm::popMenuDeleteClick()
{
    if (gridEdit->hasFocus())
        applyOutcome(session_.edits().clearCells(Grid_Selection(gridEdit)));
}

void TMainForm::popMenuAllSelectClick()
{
    if (gridEdit->hasFocus())
        Grid_SelectAll(gridEdit);
}

void TMainForm::popMenuUndoClick()
{
    undoRedo(false);
}

void TMainForm::popMenuRedoClick()
{
    undoRedo(true);
}

void TMainForm::undoRedo(bool redo)
{
    if (selectedTab_ < 0)
        return;
    // The open editor's text and the focused field's text are taken first,
    // so the step undone is the one just typed.
    CommitPendingInput();
    const Outcome o = redo ? workbook_.redo(session_) : workbook_.undo(session_);
    if (o.changed & ChangedSheet) {
        // The whole record came back (an import undone) and was shown
        // afresh, with its limits as they were shown.
        applyOutcome(o);
        tabCtrl->setFocus();
        return;
    }
    if (o.changed & ChangedShape) {
        // A lot count or n came back.
        const QSignalBlocker row(spinRow);
        const QSignalBlocker col(spinCol);
        spinRow->setValue(session_.lots());
        spinCol->setValue(session_.columns());
        LayoutGrids();
    }
    if (o.changed & ChangedHeader) {
        workbook_.relabel(session_);
        header_->showHeader();
    }
    if (o.changed & ChangedLimits)
        limits_->showLimits();
    if (o.current) {
        gridEdit->setCurrent(*o.current);
        gridEdit->viewport()->update();
    }
    applyOutcome(o);
}

// ---- the lot-number editor ----

void TMainForm::btnLotEditClick()
{
    const int rows = gridCtrl->RowCount();
    LotEditForm->setLotNumbers(gridCtrl->cells(), rows);
    if (LotEditForm->exec() != QDialog::Accepted)
        return;

    std::vector<std::string> numbers;
    for (int r = 0; r < rows; ++r)
        numbers.push_back(LotEditForm->lotNumber(r));
    session_.edits().renumberLots(numbers);
}

}  // namespace trevolo
