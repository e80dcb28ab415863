#pragma once
// The SPC rule options written as one line of text, for the command line:
// the rules switched on, separated by commas, each with its run length after
// a colon, and for rules 5 and 6 the block length and the hit count as
// "block/hits":
//
//     1,2:9,3:6,4:14,5:3/2,6:5/4,7:15,8:8     (the usual options)
//
// A rule not named is switched off. A rule named without a value keeps its
// usual value. Every value must be one the rule-settings dialog offers, and
// a block length must not be smaller than its hit count, as the dialog
// requires. Blanks around the items are allowed; an empty text switches
// every rule off.
#include <string>
#include <string_view>

#include "model/comtype.h"

namespace trevolo {

// The usual options in this notation.
inline constexpr const char* kDefaultRuleSpec = "1,2:9,3:6,4:14,5:3/2,6:5/4,7:15,8:8";

// Reads the text into out (switches and the nine values; the values of the
// rules switched off are the usual ones). On a fault returns false with a
// message naming the item and what is allowed, and leaves out unchanged.
bool ParseRuleSpec(std::string_view text, RuleOptions& out, std::string& error);

// The notation of the options: the rules switched on in order, with their
// values.
std::string FormatRuleSpec(const RuleOptions& options);

}  // namespace trevolo
