#pragma once
// Texts from the store made safe for the place they go on a page of the
// board. Every label, name, note and cause comes from stations and
// engineers, so each is escaped for its context and may not change what the
// page does: markup shows as text, quotes cannot leave an attribute, a
// script block cannot be closed, and direction marks cannot reorder what
// the page shows around them.
#include <string>
#include <string_view>

namespace trevolo {

// Text for HTML or inline SVG, in element content and in quoted attribute
// values alike: & < > " ' as character references. Bytes that are no UTF-8
// become U+FFFD, control characters other than tab and line feed become
// U+FFFD, and bidirectional controls (embeddings, overrides, isolates,
// direction marks) are shown as their code, "[U+202E]".
std::string HtmlEscape(std::string_view text);

// A JSON string literal (quotes included) that may stand inside a <script>
// block: besides JSON's own escapes, < > & and the line separators U+2028
// and U+2029 are written as \u escapes, so "</script>" and "<!--" cannot
// appear in it. Text is cleaned as by HtmlEscape first.
std::string JsonString(std::string_view text);

// A number for a page or an SVG attribute: at most decimals places, no
// trailing zeros, "-" for a value that is not finite.
std::string NumberText(double value, int decimals);

}  // namespace trevolo
