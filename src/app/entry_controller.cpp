// Measurement entry on the main window (see entry_controller.h).
#include "app/entry_controller.h"

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
#include "app/enter_delegate.h"
#include "app/fields.h"
#include "entry/value_entry.h"
#include "store/qt_text.h"

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

// The in-place editor of the measurement table: the numeric key filter,
// and the minus-sign rule applied to every change the user makes, as it
// happens, so the editor never shows a misplaced sign.
void PrepareValueEditor(TEdit* e, const std::shared_ptr<const EntryHandlers>& handlers)
{
    e->setAttribute(Qt::WA_InputMethodEnabled, false);
    // A typed character replaces the selected part of the text (all of it
    // when the editor was opened by typing), so "." and "-" are tested
    // against what remains.
    e->keyFilter = [handlers, e](QChar ch, const QString& text) {
        QString remaining = text;
        if (e->hasSelectedText())
            remaining.remove(e->selectionStart(), e->selectedText().size());
        return handlers->keyPress(ch, remaining);
    };
    QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& typed) {
        std::string t = ToStdString(typed);
        const int removedByte = RemoveMisplacedMinus(t);
        if (removedByte < 0)
            return;
        // The removed sign's position in the editor's characters.
        const qsizetype removed = ToQString(std::string_view(t).substr(0, static_cast<size_t>(removedByte))).size();
        const int cursor = e->cursorPosition();
        e->setText(ToQString(t));
        e->setCursorPosition(cursor > removed ? cursor - 1 : cursor);
    });
}

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

EntryController::EntryController(Workbook& workbook, SheetSession& session, WindowHost& host, ShownSheet& shown,
                                 const Controls& controls, QWidget* window)
    : workbook_(workbook),
      session_(session),
      host_(host),
      shown_(shown),
      c_(controls),
      lotEditForm_(new TLotEditForm(window))
{
    // The lot and measurement tables: the current cell yellow while
    // focused, the red marking of out-of-limit values.
    c_.gridEdit->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridEditDrawCell(col, row, focused, isCurrent);
    };
    c_.gridCtrl->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridCtrlDrawCell(col, row, focused, isCurrent);
    };
    // Typing into the lot or measurement table goes through the session's
    // commands, which keep the history.
    c_.gridEdit->gridModel()->onEdit = [this](int col, int row, const std::string& text) {
        host_.runCommand([&] { session_.edits().typeValue(col, row, text); });
    };
    c_.gridCtrl->onToggle = [this](int top, int bottom) {
        host_.runCommand([&] { session_.edits().toggleLots(top, bottom); });
    };
    setupEntry();
    setupClipboard(window);
}

EntryController::~EntryController()
{
    delete entryEvents_;
    c_.gridEdit->gridModel()->onEdit = nullptr;
    c_.gridCtrl->onToggle = nullptr;
    session_.setHistoryChanged({});
}

void EntryController::setupEntry()
{
    StringGrid* gridEdit = c_.gridEdit;
    auto handlers = std::make_shared<EntryHandlers>();
    handlers->keyPress = [this](QChar ch, const QString& text) { return gridEditKeyPress(ch, text); };
    handlers->enter = [this](const QString& text) { host_.runCommand([&] { gridEditKeyPress(QChar(13), text); }); };
    handlers->modeOff = [this] { gridEditEnter(); };
    handlers->modeOn = [this] { gridEditKeyDown(); };
    c_.gridEdit->setItemDelegate(new EnterCommitDelegate(
        gridEdit, QStringLiteral("gridEditInplace"), Qt::AlignRight | Qt::AlignVCenter,
        [handlers](TEdit* e) { PrepareValueEditor(e, handlers); }, [handlers, gridEdit] {
            // Enter in the editor commits and moves like Enter in the table.
            const GridPos pos = gridEdit->current();
            handlers->enter(gridEdit->cellText(pos.col, pos.row));
        }));
    auto* events = new EntryEvents(this, handlers, gridEdit, c_.gridCtrl);
    entryEvents_ = events;
    c_.gridEdit->installEventFilter(events);
    c_.gridEdit->viewport()->installEventFilter(events);
    c_.gridEdit->horizontalScrollBar()->installEventFilter(events);
    c_.gridEdit->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void EntryController::gridEditEnter()
{
    c_.gridEdit->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void EntryController::gridEditKeyDown()
{
    c_.gridEdit->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
}

bool EntryController::gridEditKeyPress(QChar key, const QString& text)
{
    if (key.unicode() != 13)
        return NumericKeyAccepted(key, text);

    // Enter: the session formats the committed value (or empties one that
    // is not a number) and says where the current cell goes.
    const GridPos pos = c_.gridEdit->current();
    if (pos.row < 1)
        return false;
    const Outcome o = session_.edits().commitValue(pos.col, pos.row);
    if (o.current) {
        c_.gridEdit->setCurrent(*o.current);
        c_.gridEdit->viewport()->update();
    }
    return false;
}

CellLook EntryController::gridEditDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look = c_.gridEdit->entryLook(col, row, focused, isCurrent, Qt::AlignRight | Qt::AlignVCenter);
    // Value, limits and kind as they stand now, so the marking follows
    // later edits of values and limits.
    if (session_.valueIsMarked(col, row))
        look.text = kMarkColor;
    return look;
}

CellLook EntryController::gridCtrlDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    // The lot numbers are a fixed column: drawn like the header, never
    // current or selected.
    if (col < c_.gridCtrl->FixedCols())
        return c_.gridCtrl->fixedLook();
    return c_.gridCtrl->entryLook(col, row, focused, isCurrent, Qt::AlignCenter);
}

// ---- the context menu of the measurement table ----

void EntryController::setupClipboard(QWidget* window)
{
    const GridPopMenu p = CreateGridPopMenu(c_.gridEdit, window);
    popMenu = p.menu;
    popMenuCopy = p.copy;
    popMenuDelete = p.del;
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
        c_.gridEdit->addAction(a);
        return a;
    };
    popMenuUndo = historyItem("popMenuUndo", QStringLiteral("元に戻す(&U)"), {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    popMenuRedo = historyItem("popMenuRedo", QStringLiteral("やり直し(&R)"),
                              {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    popMenu->insertSeparator(first);
    // The items are enabled while there is a step to take back or bring
    // again; while the menu is open they name it ("元に戻す: 貼り付け").
    session_.setHistoryChanged([this] { showHistoryState(false); });
    connect(popMenu, &QMenu::aboutToShow, this, [this] { showHistoryState(true); });
    connect(popMenu, &QMenu::aboutToHide, this, [this] { showHistoryState(false); });
    showHistoryState(false);
    auto bind = [this](QAction* a, std::function<void()> handler) {
        connect(a, &QAction::triggered, this, [this, handler] { host_.runCommand(handler); });
    };
    bind(p.cut, [this] { popMenuCutClick(); });
    bind(popMenuCopy, [this] { popMenuCopyClick(); });
    bind(p.paste, [this] { popMenuPasteClick(); });
    bind(popMenuDelete, [this] { popMenuDeleteClick(); });
    bind(p.selectAll, [this] { popMenuAllSelectClick(); });
    bind(popMenuUndo, [this] { undoRedo(false); });
    bind(popMenuRedo, [this] { undoRedo(true); });
}

void EntryController::showHistoryState(bool named)
{
    const auto caption = [named](const char* verb, const std::string& label, const char* accel) {
        QString text = QString::fromUtf8(verb);
        if (named && !label.empty())
            text += QStringLiteral(": ") + ToQString(label);
        return text + QLatin1String(accel);
    };
    popMenuUndo->setEnabled(session_.canUndo());
    popMenuRedo->setEnabled(session_.canRedo());
    popMenuUndo->setText(caption("元に戻す", session_.undoLabel(), "(&U)"));
    popMenuRedo->setText(caption("やり直し", session_.redoLabel(), "(&R)"));
}

void EntryController::popMenuCutClick()
{
    popMenuCopy->trigger();
    popMenuDelete->trigger();
}

void EntryController::popMenuCopyClick()
{
    if (c_.gridEdit->hasFocus())
        Grid_Copy(c_.gridEdit);
}

void EntryController::popMenuPasteClick()
{
    if (!c_.gridEdit->hasFocus())
        return;
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        host_.applyOutcome(session_.edits().paste(Grid_Selection(c_.gridEdit), ToStdString(text)));
    c_.gridEdit->autoColWidth();
}

void EntryController::popMenuDeleteClick()
{
    if (c_.gridEdit->hasFocus())
        host_.applyOutcome(session_.edits().clearCells(Grid_Selection(c_.gridEdit)));
}

void EntryController::popMenuAllSelectClick()
{
    if (c_.gridEdit->hasFocus())
        Grid_SelectAll(c_.gridEdit);
}

void EntryController::undoRedo(bool redo)
{
    if (shown_.shownIndex() < 0)
        return;
    // The open editor's text and the focused field's text are taken first,
    // so the step undone is the one just typed.
    host_.commitPendingInput();
    const Outcome o = redo ? workbook_.redo(session_) : workbook_.undo(session_);
    if (o.changed & ChangedSheet) {
        // The whole record came back (an import undone) and was shown
        // afresh, with its limits as they were shown; the tab strip takes
        // the focus as a click on it does, and the undo keys work there.
        host_.applyOutcome(o);
        shown_.focusTabs();
        return;
    }
    if (o.changed & ChangedShape)
        shown_.showCounts();  // a lot count or n came back
    if (o.changed & ChangedHeader) {
        workbook_.relabel(session_);
        c_.header->showHeader();
    }
    if (o.changed & ChangedLimits)
        c_.limits->showLimits();
    if (o.current) {
        c_.gridEdit->setCurrent(*o.current);
        c_.gridEdit->viewport()->update();
    }
    host_.applyOutcome(o);
}

// ---- the lot-number editor ----

void EntryController::btnLotEditClick()
{
    const int rows = c_.gridCtrl->RowCount();
    lotEditForm_->setLotNumbers(c_.gridCtrl->cells(), rows);
    if (lotEditForm_->exec() != QDialog::Accepted)
        return;

    std::vector<std::string> numbers;
    for (int r = 0; r < rows; ++r)
        numbers.push_back(lotEditForm_->lotNumber(r));
    session_.edits().renumberLots(numbers);
}

}  // namespace trevolo
