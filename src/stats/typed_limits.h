#pragma once
// Control limits given as text instead of the three-sigma computation
// ("指定管理値"): a JSON object whose keys are the names of the eleven limit
// fields and whose values are the texts typed into them, for example
//
//     {"editUcl3": "10.3", "editUcl2": "10.2", ..., "editRsUcl1": "0.4"}
//
// A field not named stays empty. A text that is not blank must be a number;
// it is shown as the field shows a typed number once the field is left, with
// four decimals.
#include <array>
#include <string>
#include <string_view>

#include "stats/control_limits.h"

namespace trevolo {

// The field names in the order of LimitField.
inline constexpr std::array<const char*, kLimitFields> kLimitFieldNames = {
    "editUcl3", "editUcl2", "editUcl1", "editLcl3", "editLcl2",  "editLcl1",
    "editXcl",  "editRcl",  "editRsUcl3", "editRsUcl2", "editRsUcl1"};

// The field of a name, or -1.
int LimitFieldIndex(std::string_view name) noexcept;

// A typed text as its field shows it after the field is left: a blank text
// as it is, a number with four decimals. False when the text is neither.
bool TypedLimitText(std::string_view typed, std::string& shown);

// Reads the JSON text into the eleven field texts. On a fault (not JSON, not
// an object, a name that is no field, a value that is not a text, a text
// that is not a number) returns false with a message saying which and why,
// and leaves out unchanged.
bool ParseTypedLimits(std::string_view json, std::array<std::string, kLimitFields>& out, std::string& error);

}  // namespace trevolo
