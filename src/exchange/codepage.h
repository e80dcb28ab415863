#pragma once
// Conversion between UTF-8 and code page 932 (Shift-JIS as Japanese desktops
// write it) through the C library's iconv. Writing a CSV file, checking that
// bytes are code page 932 and reading a CSV file differ only in what they put
// in place of a sequence the conversion cannot take, so each gives that as a
// fallback.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trevolo {

enum class Cp932Direction { FromUtf8, ToUtf8 };

// What takes the place of a sequence the conversion cannot take (bytes that
// are no character of the source, or a character the target lacks): the
// text written instead, in the target encoding, and the number of input
// bytes it stands for (at least one).
struct Cp932Substitute {
    std::string_view text;
    std::size_t skip = 1;
};

// Called with the input from such a sequence to its end; nothing stops the
// conversion.
using Cp932Fallback = std::optional<Cp932Substitute> (*)(std::string_view rest);

// Converts the bytes. At a sequence it cannot take the fallback decides;
// without one, or when it gives nothing, the result is nothing. Throws
// std::runtime_error when the C library lacks the conversion.
std::optional<std::string> ConvertCp932(std::string_view bytes, Cp932Direction direction,
                                        Cp932Fallback fallback = nullptr);

}  // namespace trevolo
