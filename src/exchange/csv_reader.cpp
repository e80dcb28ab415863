#include "exchange/csv_reader.h"

#include <stdexcept>

#include "exchange/codepage.h"
#include "exchange/csv.h"

namespace trevolo {

// ---- decoding ----

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsCp932LeadByte(unsigned char b) noexcept
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// What the application's code page 932 table gives for a single byte that
// the system's table lacks; empty when it has no character for it either.
std::string_view Cp932ExtraByte(unsigned char b) noexcept
{
    switch (b) {
    case 0x80:
        return "\\";
    case 0xA0:
        return "\xC2\xA0";
    case 0xFD:
        return "\xC2\xA9";
    case 0xFE:
        return "\xE2\x84\xA2";
    case 0xFF:
        return "\xE2\x80\xA6";
    default:
        return {};
    }
}

// Code page 932 to UTF-8, never failing: a byte sequence that is not a
// character becomes what the application shows for it.
std::string DecodeCp932Lenient(std::string_view bytes)
{
    const auto shown = [](std::string_view rest) -> std::optional<Cp932Substitute> {
        const unsigned char b = static_cast<unsigned char>(rest.front());
        if (const std::string_view extra = Cp932ExtraByte(b); !extra.empty())
            return Cp932Substitute{extra, 1};
        // A broken double-byte character takes the byte after its lead byte
        // with it, unless that byte ends the line.
        const bool pair = IsCp932LeadByte(b) && rest.size() >= 2 && rest[1] != '\r' && rest[1] != '\n';
        return Cp932Substitute{kReplacement, pair ? 2u : 1u};
    };
    return *ConvertCp932(bytes, Cp932Direction::ToUtf8, shown);
}

// Code page 932 to UTF-8. Its single bytes below 0x80 are ASCII, and a
// double-byte character starts with a byte of 0x80 or more, so runs of ASCII
// are copied as they are and only the runs between them are converted.
std::string DecodeCp932(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        size_t j = i;
        while (j < n && static_cast<unsigned char>(bytes[j]) < 0x80)
            ++j;
        out.append(bytes.substr(i, j - i));
        if (j >= n)
            break;
        // A run of characters that are not ASCII: a lead byte takes the byte
        // after it, whatever that is but a line end.
        size_t k = j;
        while (k < n && static_cast<unsigned char>(bytes[k]) >= 0x80) {
            const bool lead = IsCp932LeadByte(static_cast<unsigned char>(bytes[k]));
            k += (lead && k + 1 < n && bytes[k + 1] != '\r' && bytes[k + 1] != '\n') ? 2 : 1;
        }
        out += DecodeCp932Lenient(bytes.substr(j, k - j));
        i = k;
    }
    return out;
}

}  // namespace

std::string DecodeCsvBytes(std::string_view bytes)
{
    std::string text;
    if (DetectCsvCharset(bytes) == kCharsetUtf8) {
        if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            bytes.remove_prefix(kUtf8Bom.size());
        text.assign(bytes);
    } else {
        text = DecodeCp932(bytes);
    }
    // NUL characters take no part in a cell.
    if (text.find('\0') != std::string::npos)
        std::erase(text, '\0');
    return text;
}

// ---- parsing ----

namespace {

constexpr char kQuote = '"';
constexpr char kSep = ',';
constexpr char kBlank = ' ';

// The physical lines of the text: a line ends at CR or LF, and a CR LF or
// LF CR pair ends one line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool atEnd() const noexcept { return pos_ >= text_.size(); }
    size_t position() const noexcept { return pos_; }
    void seek(size_t pos) noexcept { pos_ = pos; }

    std::string_view next() noexcept
    {
        const size_t begin = pos_;
        const size_t n = text_.size();
        size_t e = begin;
        while (e < n && text_[e] != '\r' && text_[e] != '\n')
            ++e;
        pos_ = e;
        if (e < n) {
            const char c = text_[e];
            ++pos_;
            if (pos_ < n && (text_[pos_] == '\r' || text_[pos_] == '\n') && text_[pos_] != c)
                ++pos_;
        }
        return text_.substr(begin, e - begin);
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// A quote in a quoted field ends the field when only blanks stand between it
// and a comma or the end of the line.
bool IsFieldEndQuote(std::string_view line, size_t quote) noexcept
{
    size_t j = quote + 1;
    while (j < line.size() && line[j] == kBlank)
        ++j;
    return j >= line.size() || line[j] == kSep;
}

// Whether a line break falls inside a quoted field: the quotes of a line are
// followed field by field, and the line goes on into the next one while a
// quoted field is open.
class QuoteTracker {
public:
    enum class Quote { FieldEnd, First, Double, DontKnow };

    // Follows the characters of line from offset on.
    void scan(std::string_view line, size_t offset) noexcept
    {
        closed_ = false;
        for (size_t p = offset; p < line.size(); ++p) {
            const char c = line[p];
            if (quotes_ > 0) {
                if (c == kQuote) {
                    if (fieldStart_) {
                        ++quotes_;
                        fieldStart_ = false;
                        state_ = Quote::First;
                    } else if (state_ != Quote::FieldEnd) {
                        state_ = Classify(line, p);
                        // A lone quote inside the field is not counted.
                        if (state_ != Quote::DontKnow)
                            ++quotes_;
                        if (state_ == Quote::FieldEnd)
                            closed_ = true;
                    }
                } else if (state_ == Quote::FieldEnd) {
                    updateFieldStart(c);
                }
            } else {
                if (c == kQuote && fieldStart_) {
                    quotes_ = 1;
                    state_ = Quote::First;
                    fieldStart_ = false;
                } else if (state_ == Quote::FieldEnd) {
                    updateFieldStart(c);
                }
            }
        }
    }

    bool open() const noexcept { return (quotes_ & 1) != 0; }
    // A quoted field closed in the text of the last scan.
    bool closedField() const noexcept { return closed_; }
    bool loneQuote() const noexcept { return state_ == Quote::DontKnow; }

private:
    void updateFieldStart(char c) noexcept
    {
        // Blanks before a quote keep the field at its start.
        fieldStart_ = fieldStart_ ? (c == kBlank || c == kSep) : (c == kSep);
    }

    Quote Classify(std::string_view line, size_t p) const noexcept
    {
        if ((quotes_ & 1) == 0)
            return (p > 0 && line[p - 1] == kQuote) ? Quote::Double : Quote::First;
        if (p + 1 < line.size() && line[p + 1] == kQuote)
            return Quote::First;
        return IsFieldEndQuote(line, p) ? Quote::FieldEnd : Quote::DontKnow;
    }

    long quotes_ = 0;
    Quote state_ = Quote::FieldEnd;
    bool fieldStart_ = true;
    bool closed_ = false;
};

// Reads a quoted field from the quote at start. Returns false when the field
// does not close on the line (it is then not a quoted field); otherwise the
// field's text is in out and end is the position after the closing quote.
bool ScanQuoted(std::string_view line, size_t start, std::string& out, size_t& end)
{
    out.clear();
    const size_t n = line.size();
    size_t p = start + 1;
    bool more = false;
    do {
        more = false;
        const size_t p0 = p;
        for (;;) {
            if (p >= n)
                return false;
            if (line[p] == kQuote) {
                ++p;
                if (p >= n || line[p] != kQuote) {
                    if (IsFieldEndQuote(line, p - 1))
                        break;
                    continue;  // a lone quote is a character of the field
                }
                // A doubled quote gives one quote.
                ++p;
                more = true;
                break;
            }
            ++p;
        }
        if (p0 < p) {
            // The segment ends before the closing quote, or before the
            // second quote of a doubled pair.
            const size_t segEnd = (p < n || line[p - 1] == kQuote) ? p - 1 : p;
            out.append(line.substr(p0, segEnd - p0));
        }
    } while (more);
    end = p;
    return true;
}

// Calls cell(col, text) for every field of a logical line.
template <class Sink>
void SplitFields(std::string_view line, std::string& scratch, Sink&& cell)
{
    const size_t n = line.size();
    size_t p = 0;
    size_t col = 0;
    while (p < n) {
        size_t q = p;
        while (q < n && line[q] == kBlank)
            ++q;
        if (q < n && line[q] == kQuote) {
            p = q;
            size_t end = 0;
            if (ScanQuoted(line, p, scratch, end)) {
                size_t e = end;
                while (e < n && line[e] != kSep)
                    ++e;
                scratch.append(line.substr(end, e - end));
                cell(col++, std::string_view(scratch));
                p = e < n ? e + 1 : e;
                continue;
            }
        }
        size_t e = p;
        while (e < n && line[e] != kSep)
            ++e;
        cell(col++, line.substr(p, e - p));
        p = e < n ? e + 1 : e;
    }
}

// Calls row(index) for every row of the text and then cell(row, col, text)
// for each of its fields, for at most maxRows rows (0: all). The texts are
// valid only during the call.
template <class RowSink, class CellSink>
void ForEachCsvCell(std::string_view text, size_t maxRows, RowSink&& rowStart, CellSink&& cell)
{
    LineReader reader(text);
    std::string joined;
    std::string scratch;
    for (size_t row = 0; !reader.atEnd() && (maxRows == 0 || row < maxRows); ++row) {
        rowStart(row);
        std::string_view line = reader.next();
        // Lines are joined only when a quote may be open at the line's end.
        if (line.find(kQuote) != std::string_view::npos && !reader.atEnd()) {
            const size_t afterFirst = reader.position();
            QuoteTracker quotes;
            quotes.scan(line, 0);
            if (quotes.open() && !quotes.loneQuote()) {
                joined.assign(line);
                // Where the line may end when the last quote never closes:
                // after the last physical line in which a quoted field
                // closed, else after the first.
                size_t keepLength = joined.size();
                size_t keepPosition = afterFirst;
                while (quotes.open() && !quotes.loneQuote() && !reader.atEnd()) {
                    const size_t offset = joined.size();
                    joined += '\n';
                    joined.append(reader.next());
                    quotes.scan(joined, offset);
                    if (quotes.closedField()) {
                        keepLength = joined.size();
                        keepPosition = reader.position();
                    }
                }
                if (quotes.open()) {
                    joined.resize(keepLength);
                    reader.seek(keepPosition);
                }
                line = joined;
            }
        }
        SplitFields(line, scratch, [&](size_t col, std::string_view t) { cell(row, col, t); });
    }
}

}  // namespace

std::vector<CsvRow> ParseCsvText(std::string_view text, size_t maxRows)
{
    std::vector<CsvRow> rows;
    ForEachCsvCell(
        text, maxRows, [&](size_t) { rows.emplace_back(); },
        [&](size_t, size_t, std::string_view t) { rows.back().emplace_back(t); });
    return rows;
}

WorksheetReads CsvWorksheetReads(std::string_view text)
{
    constexpr size_t kHeaderRow = 1;    // row 2
    constexpr size_t kFirstLotRow = 4;  // row 5
    constexpr size_t kRowsRead = kFirstLotRow + kImportLots;
    WorksheetReads reads;
    reads.labels = CellBlock(kImportLots, 1);
    reads.firstLot = CellBlock(1, kImportColumns - 1);
    reads.body = CellBlock(kImportLots, kImportColumns);
    ForEachCsvCell(
        text, kRowsRead, [](size_t) {},
        [&](size_t row, size_t col, std::string_view t) {
            if (row == kHeaderRow) {
                if (col < static_cast<size_t>(kHeaderFields))
                    reads.header[col] = std::string(t);
                return;
            }
            if (row < kFirstLotRow || col >= static_cast<size_t>(kImportColumns) || t.empty())
                return;
            const int r = static_cast<int>(row - kFirstLotRow);
            const int c = static_cast<int>(col);
            reads.body.at(r, c) = std::string(t);
            if (c == 0)
                reads.labels.at(r, 0) = std::string(t);
            else if (r == 0)
                reads.firstLot.at(0, c - 1) = std::string(t);
        });
    return reads;
}

SheetRecord SheetFromCsvBytes(std::string_view bytes)
{
    return SheetFromWorksheet(CsvWorksheetReads(DecodeCsvBytes(bytes)));
}

}  // namespace trevolo
