#include "exchange/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdexcept>

namespace trevolo {

namespace {

struct IconvCloser {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    return IconvHandle(cd);
}

}  // namespace

std::optional<std::string> ConvertCp932(std::string_view bytes, Cp932Direction direction, Cp932Fallback fallback)
{
    const bool toUtf8 = direction == Cp932Direction::ToUtf8;
    IconvHandle handle = toUtf8 ? OpenIconv("UTF-8", "CP932") : OpenIconv("CP932", "UTF-8");
    const auto cd = static_cast<iconv_t>(handle.get());
    std::string out;
    // A double-byte character of code page 932 takes two or three bytes in
    // UTF-8, so the first guess seldom has to grow.
    out.resize((toUtf8 ? bytes.size() * 3 / 2 : bytes.size()) + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        used = static_cast<size_t>(dst - out.data());
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ or EINVAL: a sequence the conversion cannot take.
        const std::optional<Cp932Substitute> sub = fallback ? fallback(std::string_view(in, inLeft)) : std::nullopt;
        if (!sub)
            return std::nullopt;
        const size_t skip = std::min(std::max<size_t>(sub->skip, 1), inLeft);
        in += skip;
        inLeft -= skip;
        if (out.size() - used < sub->text.size())
            out.resize(out.size() * 2 + sub->text.size());
        out.replace(used, sub->text.size(), sub->text);
        used += sub->text.size();
        // Start the next sequence afresh.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

}  // namespace trevolo
