// The rule list of the command line comes from users and scripts; the
// reader must take anything, and what it accepts must be options the rule
// dialog could have stored, written back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "spc/rule_options.h"
#include "spc/rule_switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    trevolo::RuleOptions options;
    std::string error;
    if (!trevolo::ParseRuleSpec(text, options, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    if (trevolo::ValidateRuleOptions(options))
        __builtin_trap();
    const std::string written = trevolo::FormatRuleSpec(options);
    trevolo::RuleOptions back;
    if (!trevolo::ParseRuleSpec(written, back, error) || !(back == options) || trevolo::FormatRuleSpec(back) != written)
        __builtin_trap();
    return 0;
}
