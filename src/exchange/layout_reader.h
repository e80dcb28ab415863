#pragma once
// Reading a file of the exchange layout whole and strictly, for the plant
// store: every lot and every value, however many, and nothing from a file
// that is not of the layout. A sheet import reads a fixed block and takes
// whatever stands there; a store keeps what it is given for good, so here
// each row must be what the layout says:
//
//   row 1     the nine header labels, as the export writes them
//   row 2     the nine header texts: a specification kind the program knows,
//             decimals 0 to 5, limits that are numbers or empty
//   row 3     empty
//   row 4     "ﾛｯﾄ№", then the titles N1, N2, ... Nn
//   row 5 on  a lot label and up to n values, each a number or empty
//
// Cells beyond these may be present but empty (spreadsheets pad rows).
#include <array>
#include <string>
#include <vector>

#include "exchange/csv_reader.h"
#include "exchange/layout.h"

namespace trevolo {

// One lot row of the file: its label and its n value texts (trimmed, empty
// where the cell is empty), and the row it stands on (from 1).
struct LayoutLot {
    std::string label;
    std::vector<std::string> values;
    int line = 0;
};

// One sheet read whole.
struct LayoutSheet {
    std::array<std::string, kHeaderFields> header;  // product .. lowerSpec
    int n = 0;                                      // measurement columns titled in row 4
    std::vector<LayoutLot> lots;                    // every row from row 5 holding a label or a value
};

// Where a file leaves the layout: the row (from 1), the column (from 1; 0
// for the row as a whole) and what is wrong, in Japanese.
struct LayoutFault {
    int line = 0;
    int column = 0;
    std::string reason;
};

// Reads the rows of a worksheet or CSV file, the cells as texts. False with
// the first fault when the rows are not of the layout.
bool ReadLayoutRows(const std::vector<CsvRow>& rows, LayoutSheet& sheet, LayoutFault& fault);

}  // namespace trevolo
