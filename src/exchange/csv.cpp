#include "exchange/csv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "exchange/codepage.h"
#include "exchange/layout.h"

namespace trevolo {

namespace {

// Length of the UTF-8 sequence a lead byte starts; 1 for a stray byte.
size_t Utf8SequenceLength(unsigned char lead) noexcept
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

// The message of a file that could not be created or written.
std::string WriteFailed(const std::filesystem::path& path, int err)
{
    return WithDetail(kMsgCsvSaveFailed, path.string() + "\n" + WriteFailureReason(err));
}

}  // namespace

bool IsValidUtf8(std::string_view s) noexcept
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;  // no overlong forms
            if (c == 0xED)
                hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            if (c == 0xF4)
                hi = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        const unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
        if (c1 < lo || c1 > hi)
            return false;
        for (size_t k = 2; k < len; ++k) {
            const unsigned char ck = static_cast<unsigned char>(s[i + k]);
            if (ck < 0x80 || ck > 0xBF)
                return false;
        }
        i += len;
    }
    return true;
}

std::string Utf8ToCp932(std::string_view utf8)
{
    // A character the code page lacks, or bytes that are not UTF-8: one "?"
    // for the whole sequence.
    const auto question = [](std::string_view rest) -> std::optional<Cp932Substitute> {
        return Cp932Substitute{"?", Utf8SequenceLength(static_cast<unsigned char>(rest.front()))};
    };
    return *ConvertCp932(utf8, Cp932Direction::FromUtf8, question);
}

std::optional<std::string> Cp932ToUtf8(std::string_view bytes)
{
    return ConvertCp932(bytes, Cp932Direction::ToUtf8);
}

void AppendCsvField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string DataLineToCsv(std::string_view line)
{
    // A label quoted in the stored line is already a CSV field.
    if (!line.empty() && line.front() == '"')
        return std::string(line);
    const size_t comma = line.find(',');
    const std::string_view label = line.substr(0, comma);
    std::string out;
    out.reserve(line.size() + 2);
    AppendCsvField(out, label);
    if (comma != std::string_view::npos)
        out.append(line.substr(comma));
    return out;
}

std::string SheetCsvText(const SheetRecord& sheet)
{
    static constexpr const char* kEol = "\r\n";
    std::string out;
    for (int i = 0; i < kHeaderFields; ++i) {
        if (i > 0)
            out += ',';
        out += kHeaderLabels[i];
    }
    out += kEol;
    const auto header = HeaderTexts(sheet);
    for (int i = 0; i < kHeaderFields; ++i) {
        if (i > 0)
            out += ',';
        AppendCsvField(out, header[i]);
    }
    out += kEol;
    out += kEol;
    out += kLotColumnTitle;
    for (int c = 0; c < sheet.n; ++c) {
        out += ',';
        out += MeasurementTitle(c);
    }
    out += kEol;
    // A checkList longer than the dataList (never written by the program)
    // has no line to write for its extra lots.
    const size_t lines = std::min(sheet.checkList.size(), sheet.dataList.size());
    for (size_t i = 0; i < lines; ++i) {
        if (sheet.checkList[i] != "1")
            continue;
        out += DataLineToCsv(sheet.dataList[i]);
        out += kEol;
    }
    return out;
}

std::string SheetCsvBytes(const SheetRecord& sheet)
{
    return Utf8ToCp932(SheetCsvText(sheet));
}

void WriteSheetCsv(const std::filesystem::path& path, const SheetRecord& sheet)
{
    const std::string bytes = SheetCsvBytes(sheet);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw FileWriteError(WriteFailed(path, errno));
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    int err = (written != bytes.size()) ? errno : 0;
    if (std::fflush(f) != 0 && err == 0)
        err = errno;
    if (std::fclose(f) != 0 && err == 0)
        err = errno;
    if (written != bytes.size() || err != 0)
        throw FileWriteError(WriteFailed(path, err ? err : EIO));
}

std::filesystem::path CsvFilePath(const std::filesystem::path& folder, int position)
{
    return folder / ("Sheet" + std::to_string(position) + ".csv");
}

CommandMessage ExportSheetsCsv(const std::filesystem::path& folder, const SheetArray& sheets,
                               std::chrono::milliseconds pause)
{
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::filesystem::path path = CsvFilePath(folder, static_cast<int>(i) + 1);
        try {
            WriteSheetCsv(path, sheets[i]);
        } catch (const FileWriteError& e) {
            return {CommandMessage::Kind::Error, e.what()};
        } catch (const std::exception& e) {
            return {CommandMessage::Kind::Error, WithDetail(kMsgCsvSaveFailed, path.string() + "\n(" + e.what() + ")")};
        }
        if (pause.count() > 0)
            std::this_thread::sleep_for(pause);
    }
    return {CommandMessage::Kind::Guide, folder.string() + kMsgCsvSavedSuffix};
}

int DetectCsvCharset(std::string_view bytes) noexcept
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return kCharsetUtf8;
    return IsValidUtf8(bytes) ? kCharsetUtf8 : kCharsetMs932;
}

std::string CsvFilterOptions(int charset)
{
    // Separator 44 (comma), text delimiter 34 (double quote), encoding,
    // first line 1, column formats (column/2 = text), language 1041 (ja-JP).
    std::string columns;
    for (int c = 1; c <= kImportColumns; ++c) {
        if (c > 1)
            columns += '/';
        columns += std::to_string(c) + "/2";
    }
    return "44,34," + std::to_string(charset) + ",1," + columns + ",1041";
}

}  // namespace trevolo
