#pragma once
// Control limits given as text instead of the three-sigma computation
// ("指定管理値"): a JSON object whose keys are the names of the eleven limit
// fields and whose values are the texts typed into them, for example
//
//     {"editUcl3": "10.3", "editUcl2": "10.2", ..., "editRsUcl1": "0.4"}
//
// A field not named stays empty, except the hidden +2σ and +1σ lines of the
// R/S/Rs side: left out, they are derived from the R/S/Rs centre and +3σ
// lines as typing those lines derives them (HiddenRsLines). A text that is not
// blank must be a number; it is shown as the field shows a typed number once
// the field is left, with four decimals.
#include <array>
#include <string>
#include <string_view>

#include "stats/control_limits.h"

namespace trevolo {

// The field names in the order of LimitField.
inline constexpr std::array<const char*, kLimitFields> kLimitFieldNames = {
    "editUcl3", "editUcl2", "editUcl1",   "editLcl3",   "editLcl2",  "editLcl1",
    "editXcl",  "editRcl",  "editRsUcl3", "editRsUcl2", "editRsUcl1"};

// The field of a name, or -1.
int LimitFieldIndex(std::string_view name) noexcept;

// A typed text as its field shows it after the field is left: a blank text
// as it is, a number with four decimals. False when the text is neither.
bool TypedLimitText(std::string_view typed, std::string& shown);

// The hidden +2σ and +1σ lines of the R/S/Rs side that go with a centre line
// C and a +3σ line U3 as the fields show them: C + 2(U3 − C)/3 and
// C + (U3 − C)/3, with four decimals. The three-sigma computation writes
// C + 2s and C + s with U3 = C + 3s, so both give the same lines up to the
// rounding of the shown texts. False, with the outputs unchanged, when either
// text is blank or not a number.
bool HiddenRsLines(std::string_view rcl, std::string_view rsUcl3, std::string& rsUcl2, std::string& rsUcl1);

// The hidden lines to write after the three-sigma computation of a single
// line, given the R/S/Rs centre and +3σ fields as they show after that write:
// the computed lines while those fields show the computed lines; otherwise,
// when one of them holds a typed line, the lines that go with the fields as
// they stand, so typed lines are not judged against zones of other lines.
// computed holds the eleven computed texts.
void HiddenRsLinesAfterOneLine(std::string_view rcl, std::string_view rsUcl3,
                               const std::array<std::string, kLimitFields>& computed, std::string& rsUcl2,
                               std::string& rsUcl1);

// Reads the JSON text into the eleven field texts. On a fault (not JSON, not
// an object, a name that is no field, a value that is not a text, a text
// that is not a number) returns false with a message saying which and why,
// and leaves out unchanged.
bool ParseTypedLimits(std::string_view json, std::array<std::string, kLimitFields>& out, std::string& error);

}  // namespace trevolo
