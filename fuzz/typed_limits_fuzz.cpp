// Typed control limits are read from a JSON file written by hand or by other
// programs; the reader must take anything, and what it accepts must be what
// the limit fields could show: blank, or a number with four decimals that
// reads back as itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "stats/typed_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::array<std::string, trevolo::kLimitFields> texts;
    std::string error;
    if (!trevolo::ParseTypedLimits(text, texts, error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    for (const std::string& t : texts) {
        std::string again;
        if (!trevolo::TypedLimitText(t, again) || again != t)
            __builtin_trap();
    }
    return 0;
}
