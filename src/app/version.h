#pragma once
#include "model/comtype.h"

namespace trevolo {

// Fills the version from the program's file version (four numbers joined by
// "."), compiled in from the project version. A text that is not four
// non-negative whole numbers leaves the version unchanged.
void ReadVersionInfo(ProgramVersion& version, const char* fileVersion = nullptr);

}  // namespace trevolo
