#include "board/board_html.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace trevolo {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Splits text into code points; invalid sequences give -1 with a length of
// one byte, so a broken byte never swallows the markup that follows it.
struct CodePoint {
    std::int32_t value;
    size_t length;
};

CodePoint Decode(std::string_view s, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = byte(at);
    if (c < 0x80)
        return {c, 1};
    size_t len = 0;
    std::int32_t cp = 0;
    std::int32_t least = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, least = 0x10000;
    } else {
        return {-1, 1};
    }
    if (at + len > s.size())
        return {-1, 1};
    for (size_t i = 1; i < len; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return {-1, 1};
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no characters.
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {-1, 1};
    return {cp, len};
}

bool IsBidiControl(std::int32_t cp)
{
    return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

std::string CodeText(std::int32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[U+%04X]", static_cast<unsigned>(cp));
    return buf;
}

// Calls out(piece, codePoint) for each character of text as the page may
// show it: broken bytes and control characters replaced, bidirectional
// controls spelled out.
template <typename Out>
void Clean(std::string_view text, Out&& out)
{
    for (size_t i = 0; i < text.size();) {
        const CodePoint c = Decode(text, i);
        const std::string_view piece = text.substr(i, c.length);
        i += c.length;
        if (c.value < 0 || (c.value < 0x20 && c.value != '\t' && c.value != '\n') || c.value == 0x7F ||
            (c.value >= 0x80 && c.value < 0xA0))
            out(kReplacement, 0xFFFD);
        else if (IsBidiControl(c.value))
            out(CodeText(c.value), 0);
        else
            out(piece, c.value);
    }
}

}  // namespace

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    Clean(text, [&](std::string_view piece, std::int32_t cp) {
        switch (cp) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += piece;
        }
    });
    return out;
}

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    Clean(text, [&](std::string_view piece, std::int32_t cp) {
        switch (cp) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '<':
            out += "\\u003c";
            break;
        case '>':
            out += "\\u003e";
            break;
        case '&':
            out += "\\u0026";
            break;
        case 0x2028:
            out += "\\u2028";
            break;
        case 0x2029:
            out += "\\u2029";
            break;
        default:
            out += piece;
        }
    });
    out += '"';
    return out;
}

std::string NumberText(double value, int decimals)
{
    if (!std::isfinite(value))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals < 0 ? 0 : decimals > 10 ? 10 : decimals, value);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    return s;
}

}  // namespace trevolo
