#include "exchange/record_block.h"

#include <string>

#include "document/sheet_session.h"

namespace trevolo {

GridBlock SessionEditBlock(const SheetSession& session, const std::string& decimals)
{
    const CellStore& ctrl = session.lotCells();
    const CellStore& edit = session.valueCells();
    EditTableView view;
    view.lots = session.lots();
    view.n = session.columns();
    view.label = [&ctrl](int row) { return ctrl.text(0, row); };
    view.enabled = [&ctrl](int row) { return ctrl.flag(1, row); };
    view.value = [&edit](int col, int row) { return edit.text(col, row); };
    return BuildEditBlock(view, decimals);
}

GridBlock RecordEditBlock(const SheetRecord& record)
{
    // The chart kind plays no part in the block.
    SheetSession session;
    session.show(record, ChartXbarR);
    return SessionEditBlock(session, record.decimals);
}

SheetRecord ShownRecord(const SheetRecord& record)
{
    SheetSession session;
    session.show(record, ChartXbarR);
    SheetRecord shown = record;
    session.store(shown);
    return shown;
}

}  // namespace trevolo
