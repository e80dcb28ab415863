#pragma once
// The board's script and style sheet, served from the binary at
// /static/board.js and /static/board.css: nothing is loaded from elsewhere.
#include <string_view>

namespace trevolo {

std::string_view BoardScript();
std::string_view BoardStyle();

}  // namespace trevolo
