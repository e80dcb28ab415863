#include "app/lot_edit_form.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/enter_delegate.h"
#include "app/fields.h"
#include "app/fonts.h"
#include "app/placement.h"
#include "app/prompts.h"
#include "app/clipboard_view.h"
#include "model/comfunction.h"
#include "model/number.h"

namespace trevolo {

TLotEditForm::TLotEditForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TLotEditForm"));
    setWindowTitle(QStringLiteral("ﾛｯﾄ№編集"));
    setFont(PGothicFont(12));

    gridLotno = new StringGrid(1, 0, this);
    gridLotno->setObjectName(QStringLiteral("gridLotno"));
    gridLotno->setAccessibleName(QStringLiteral("ﾛｯﾄ№"));
    gridLotno->gridModel()->editable = true;
    gridLotno->setShape(2, 1);
    gridLotno->setColWidth(0, 85);
    gridLotno->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridLotno->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gridLotno->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Enter in the editor stores the text and moves on like Enter in the table.
    gridLotno->setItemDelegate(new EnterCommitDelegate(gridLotno, QStringLiteral("gridLotnoInplace"), Qt::AlignCenter,
                                                       nullptr, [this] { gridLotnoKeyPress(QChar(13)); }));
    gridLotno->setAttribute(Qt::WA_InputMethodEnabled, false);
    gridLotno->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridLotnoDrawCell(col, row, focused, isCurrent);
    };
    gridLotno->installEventFilter(this);
    gridLotno->viewport()->installEventFilter(this);

    btnOk = new QPushButton(QStringLiteral("ＯＫ"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TLotEditForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TLotEditForm::btnCancelClick);

    const GridPopMenu p = CreateGridPopMenu(gridLotno, this);
    popMenu = p.menu;
    popMenuCut = p.cut;
    popMenuCopy = p.copy;
    popMenuPaste = p.paste;
    popMenuDelete = p.del;
    popMenuAllSelect = p.selectAll;
    connect(popMenuCut, &QAction::triggered, this, &TLotEditForm::popMenuCutClick);
    connect(popMenuCopy, &QAction::triggered, this, &TLotEditForm::popMenuCopyClick);
    connect(popMenuPaste, &QAction::triggered, this, &TLotEditForm::popMenuPasteClick);
    connect(popMenuDelete, &QAction::triggered, this, &TLotEditForm::popMenuDeleteClick);
    connect(popMenuAllSelect, &QAction::triggered, this, &TLotEditForm::popMenuAllSelectClick);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(3);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(4);
    v->addWidget(gridLotno, 1);
    v->addLayout(buttons);
    for (QPushButton* b : {btnOk, btnCancel})
        b->setMinimumWidth(10);
    setFixedSize(123, 524);
}

void TLotEditForm::setLotNumbers(const CellStore& cells, int rowCount)
{
    rowCount = std::clamp(rowCount, 1, gridLotno->cells().rows());
    gridLotno->setShape(rowCount, 1);
    gridLotno->setColWidth(0, 85);
    for (int r = 0; r < rowCount; ++r)
        gridLotno->cells().setText(0, r, cells.text(0, r));
    gridLotno->gridModel()->cellsChanged();
}

std::string TLotEditForm::lotNumber(int row) const
{
    return gridLotno->cells().text(0, row);
}

void TLotEditForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    CentreOnScreen(this);
    FormShow();
}

void TLotEditForm::FormShow()
{
    gridLotno->setCurrent({0, 1});
    gridLotno->setTopRow(1);
    gridLotno->setFocus();
}

void TLotEditForm::btnOkClick()
{
    for (int r = 1; r < gridLotno->RowCount(); ++r) {
        if (IsBlank(gridLotno->cells().text(0, r))) {
            Prompts::current().message(this, QString::fromUtf8(kGuideCaption),
                                       QStringLiteral("ﾛｯﾄ№に空欄が見つかりました。確認してください！！"));
            gridLotno->setCurrent({0, r});
            gridLotno->setFocus();
            return;
        }
    }
    accept();
}

void TLotEditForm::btnCancelClick()
{
    reject();
}

void TLotEditForm::gridLotnoEnter()
{
    gridLotno->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TLotEditForm::gridLotnoClick()
{
    gridLotno->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TLotEditForm::gridLotnoKeyDown()
{
    gridLotno->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
}

bool TLotEditForm::gridLotnoKeyPress(QChar key)
{
    if (key.unicode() != 13)
        return true;
    const GridPos pos = gridLotno->current();
    if (pos.row >= 1)
        gridLotno->setCurrent(NextGridCell(gridLotno->shape(), pos));
    gridLotno->viewport()->update();
    return false;
}

CellLook TLotEditForm::gridLotnoDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    return gridLotno->entryLook(col, row, focused, isCurrent, Qt::AlignCenter);
}

void TLotEditForm::popMenuCutClick()
{
    popMenuCopy->trigger();
    popMenuDelete->trigger();
}

void TLotEditForm::popMenuCopyClick()
{
    if (gridLotno->hasFocus())
        Grid_Copy(gridLotno);
}

void TLotEditForm::popMenuPasteClick()
{
    if (gridLotno->hasFocus())
        Grid_Paste(gridLotno);
}

void TLotEditForm::popMenuDeleteClick()
{
    if (gridLotno->hasFocus())
        Grid_DeleteSelection(gridLotno);
}

void TLotEditForm::popMenuAllSelectClick()
{
    if (gridLotno->hasFocus())
        Grid_SelectAll(gridLotno);
}

bool TLotEditForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        if (watched == gridLotno)
            gridLotnoEnter();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched == gridLotno->viewport())
            gridLotnoClick();
        break;
    case QEvent::KeyPress:
        if (watched == gridLotno) {
            gridLotnoKeyDown();
            if (IsEnterKey(static_cast<QKeyEvent*>(event))) {
                gridLotnoKeyPress(QChar(13));
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace trevolo
