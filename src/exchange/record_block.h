#pragma once
// A sheet as the window would show it, built from the sheet record alone:
// for exporting sheets without a window.
#include <string>

#include "exchange/layout.h"
#include "model/comtype.h"

namespace trevolo {

class SheetSession;

// The block of the measurement table a session shows now.
GridBlock SessionEditBlock(const SheetSession& session, const std::string& decimals);

// Both show the record in a sheet session, as the window shows a sheet.
//
// The block BuildEditBlock gives for the sheet once it is shown: the tables
// laid out for the record's counts (clamped as the window clamps them), the
// default lot labels with every lot enabled, then the record's lists, and
// the values brought to the sheet's decimals. A value that is not a number
// stops that pass as it stops the window's, and the cells after it keep
// their texts (the window warns about it when it shows the sheet).
GridBlock RecordEditBlock(const SheetRecord& record);

// The record as the window stores the sheet back right after showing it:
// the kind, decimals and limits as their fields show them, the counts clamped, and the lists holding the shown
// lots (switches, labels and the values of the block above) and nothing
// beyond them.
SheetRecord ShownRecord(const SheetRecord& record);

}  // namespace trevolo
