#pragma once
// Rules of what is typed into the measurement table.
#include <string>

namespace trevolo {

// A minus sign is only a sign at the front: the first "-" standing anywhere
// else is removed. Returns the byte position removed, or -1 when the text is
// left as it is.
int RemoveMisplacedMinus(std::string& text);

}  // namespace trevolo
