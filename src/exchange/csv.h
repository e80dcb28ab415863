#pragma once
// CSV files of the exchange layout: one file per sheet, written directly as
// code page 932 (Shift-JIS as Japanese desktops write it), lines ended by
// CR LF, no byte-order mark. Reading goes through the spreadsheet
// application; what it needs to know about a file is decided here.
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "exchange/messages.h"
#include "model/comtype.h"

namespace trevolo {

// A file that could not be created or written. The message names the file
// and the reason, for the general error box.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// UTF-8 to code page 932. A character the code page lacks becomes "?", as
// the desktop's own conversion does; invalid UTF-8 bytes too.
std::string Utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8; nothing when the bytes are not valid code page 932.
std::optional<std::string> Cp932ToUtf8(std::string_view bytes);

bool IsValidUtf8(std::string_view bytes) noexcept;

// One CSV field: enclosed in double quotes, inner quotes doubled, when it
// holds a comma or a double quote; as it is otherwise.
void AppendCsvField(std::string& out, std::string_view field);

// A stored data line as a CSV line. The values behind the label are comma
// text, which quotes like CSV already, and stay as they are; a label holding
// a double quote is quoted (a label quoted in the stored line stays quoted).
std::string DataLineToCsv(std::string_view dataLine);

// The text of a sheet's CSV file in UTF-8, lines ended by CR LF:
//   1  the nine header labels
//   2  the nine header texts, a field quoted only when it holds a comma or a
//      double quote
//   3  empty
//   4  "ﾛｯﾄ№" and the titles N1..Nn of the sheet's n
//   5… the stored data line of every lot whose checkList line is "1", in
//      lot order
// A sheet never shown since it was added has no lists and gives the four
// head lines only.
std::string SheetCsvText(const SheetRecord& sheet);

// The bytes of the file: SheetCsvText in code page 932.
std::string SheetCsvBytes(const SheetRecord& sheet);

// Creates or truncates the file and writes the sheet. Throws FileWriteError.
void WriteSheetCsv(const std::filesystem::path& path, const SheetRecord& sheet);

// The file of the sheet at a 1-based position in a folder: <folder>/Sheet3.csv
std::filesystem::path CsvFilePath(const std::filesystem::path& folder, int position);

// Writes every sheet to its file in the folder, pausing after each one, and
// returns the message to show: the folder followed by " に保存されました。",
// or the error of the first file that failed (the files before it stay).
CommandMessage ExportSheetsCsv(const std::filesystem::path& folder, const SheetArray& sheets,
                               std::chrono::milliseconds pause = std::chrono::milliseconds(100));

// ---- reading through the spreadsheet application ----

// The application's numbers of text encodings.
inline constexpr int kCharsetMs932 = 60;
inline constexpr int kCharsetUtf8 = 76;

// The encoding a CSV file is read in: UTF-8 when it starts with a UTF-8
// byte-order mark or is valid UTF-8 throughout (files written by other
// tools), code page 932 otherwise.
int DetectCsvCharset(std::string_view bytes) noexcept;

// The import options of the application's CSV filter: comma separated,
// double quotes, the given encoding, from line 1, every one of the 101 read
// columns as text (a lot label "001" or a limit "10.500" comes back as
// written), Japanese locale.
std::string CsvFilterOptions(int charset);

}  // namespace trevolo
