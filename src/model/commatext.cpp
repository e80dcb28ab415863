#include "model/commatext.h"

namespace trevolo {

bool CommaTextNeedsQuotes(std::string_view cell) noexcept
{
    for (char c : cell) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 32 || c == '"' || c == ',')
            return true;
    }
    return false;
}

void CommaTextAppendItem(std::string& out, std::string_view cell)
{
    if (cell.empty())
        return;
    if (!CommaTextNeedsQuotes(cell)) {
        out.append(cell);
        return;
    }
    out += '"';
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void CommaTextJoin(std::string& out, const std::string* cells, size_t count)
{
    if (count == 1 && cells[0].empty()) {
        out += "\"\"";
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        if (i)
            out += ',';
        CommaTextAppendItem(out, cells[i]);
    }
}

std::string CommaTextJoin(const std::vector<std::string>& cells)
{
    std::string out;
    CommaTextJoin(out, cells.data(), cells.size());
    return out;
}

namespace detail {

size_t ReadQuoted(std::string_view text, size_t pos, std::string& out)
{
    out.clear();
    const size_t n = text.size();
    size_t p = pos + 1;
    while (p < n && text[p] != '\0') {
        if (text[p] == '"') {
            if (p + 1 < n && text[p + 1] == '"') {
                out += '"';
                p += 2;
                continue;
            }
            return p + 1;
        }
        out += text[p++];
    }
    return p;
}

}  // namespace detail

std::vector<std::string> CommaTextSplit(std::string_view text)
{
    std::vector<std::string> items;
    std::string scratch;
    CommaTextForEach(text, scratch, [&](size_t, std::string_view item) {
        items.emplace_back(item);
        return true;
    });
    return items;
}

std::string DataLineJoin(std::string_view label, const std::string* cells, size_t count)
{
    std::string line;
    line.reserve(label.size() + 1 + count * 8);
    CommaTextAppendItem(line, label);
    line += ',';
    CommaTextJoin(line, cells, count);
    return line;
}

DataLineParts DataLineSplit(std::string_view line)
{
    DataLineParts parts;
    if (!line.empty() && line.front() == '"') {
        size_t p = detail::ReadQuoted(line, 0, parts.label);
        // The values begin behind the comma that ends the label.
        size_t comma = line.find(',', p);
        parts.values = comma == std::string_view::npos ? std::string_view() : line.substr(comma + 1);
        return parts;
    }
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        parts.label.assign(line);
        return parts;
    }
    parts.label.assign(line.substr(0, comma));
    parts.values = line.substr(comma + 1);
    return parts;
}

}  // namespace trevolo
