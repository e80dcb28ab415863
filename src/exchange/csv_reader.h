#pragma once
// Reading a CSV file of the exchange layout without the spreadsheet
// application, cell for cell as the application's own CSV import reads it
// with the options the program gives it (comma separated, double quotes,
// every read column as text):
//
// - Lines end at CR, LF, CR LF or LF CR; every line is a row, empty lines
//   included. NUL characters are dropped.
// - A field that begins with a double quote (blanks before it are skipped)
//   is quoted: doubled quotes inside give one quote, and it ends at a quote
//   followed by a comma or the end of the line, with only blanks between. A
//   lone quote followed by anything else is kept as a character. Text after
//   the closing quote up to the next comma is appended.
// - A quoted field that never closes on its line is not quoted at all: the
//   field, opening quote included, runs to the next comma.
// - A quoted field may hold line breaks: lines are joined (with LF) while a
//   quote is open, unless a lone quote inside it shows it was not meant to
//   (then, and when the file ends with the quote still open, only the first
//   line is taken).
// - Any other field runs to the next comma as it is, blanks included.
//
// Cells are read as texts, exactly as written: "001" stays "001" and
// "1.500" stays "1.500" (values are brought to the sheet's decimals when
// the sheet is shown).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/layout.h"
#include "model/comtype.h"

namespace trevolo {

// The text of a CSV file in UTF-8: UTF-8 (byte-order mark dropped) when the
// file starts with the mark or is valid UTF-8 throughout, code page 932
// otherwise. Bytes that are not code page 932 become what the application
// makes of them (U+FFFD for a broken character; the single bytes 0x80, 0xA0,
// 0xFD, 0xFE and 0xFF the characters "\", U+00A0, "©", "™" and "…").
std::string DecodeCsvBytes(std::string_view bytes);

using CsvRow = std::vector<std::string>;

// The rows of a decoded CSV text, each with its cells from column A on (a
// row has as many cells as it has fields; cells beyond are empty). At most
// maxRows rows are read; 0 reads them all.
std::vector<CsvRow> ParseCsvText(std::string_view text, size_t maxRows = 0);

// What an import reads of a CSV file's text: A2:I2 and the three blocks of
// rows 5 to 1004, columns A to CW. Rows beyond 1004 are not parsed.
WorksheetReads CsvWorksheetReads(std::string_view text);

// The sheet record a CSV file gives when it is imported (SheetFromWorksheet
// of what the application would read from the file's bytes).
SheetRecord SheetFromCsvBytes(std::string_view bytes);

}  // namespace trevolo
