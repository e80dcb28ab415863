// Number texts come from cells, fields and files. The throwing and the
// non-throwing conversions must agree on every text, and a number written
// with a fixed count of decimals must read back as that number.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "model/number.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // TryStrToFloat accepts exactly what StrToFloat accepts, with the same value.
    double tried = 0;
    const bool ok = trevolo::TryStrToFloat(text, tried);
    bool thrown = false;
    double converted = 0;
    try {
        converted = trevolo::StrToFloat(text);
    } catch (const trevolo::ConvertError& e) {
        thrown = true;
        if (e.text() != text)
            __builtin_trap();
    }
    if (ok == thrown)
        __builtin_trap();
    if (ok && (std::memcmp(&tried, &converted, sizeof tried) != 0 || !std::isfinite(tried)))
        __builtin_trap();
    // What is blank is never a number.
    if (ok && trevolo::IsBlank(text))
        __builtin_trap();

    // A whole number is a number too, of the same value.
    int whole = 0;
    if (trevolo::TryStrToInt(text, whole)) {
        double asFloat = 0;
        if (!trevolo::TryStrToFloat(text, asFloat) || asFloat != static_cast<double>(whole))
            __builtin_trap();
    }

    // A number from the input's bytes (or the text read above), written with
    // 0..20 decimals, reads back within half a unit of the last place, and
    // writing that again gives the same text.
    double v = tried;
    int decimals = static_cast<int>(size % 21);
    if (!ok && size >= sizeof(double) + 1) {
        std::memcpy(&v, data, sizeof v);
        decimals = data[sizeof v] % 21;
    }
    if (std::isfinite(v)) {
        const std::string fixed = trevolo::FormatFixed(v, decimals);
        double back = 0;
        if (!trevolo::TryStrToFloat(fixed, back))
            __builtin_trap();
        // Half a unit of the last decimal, plus the rounding of the text
        // back to binary.
        const double slack = 4 * std::numeric_limits<double>::epsilon() * std::max(std::fabs(v), std::fabs(back));
        if (std::fabs(back - v) > 0.5 * std::pow(10.0, -decimals) + slack)
            __builtin_trap();
        if (trevolo::FormatFixed(back, decimals) != fixed)
            __builtin_trap();
        std::string viaText;
        if (!trevolo::FormatFixedText(v, std::to_string(decimals % 10), viaText) ||
            viaText != trevolo::FormatFixed(v, decimals % 10))
            __builtin_trap();
    }
    return 0;
}
