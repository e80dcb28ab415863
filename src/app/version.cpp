#include "app/version.h"

#include <string>
#include <string_view>
#include <vector>

#include "model/number.h"

namespace trevolo {

void ReadVersionInfo(ProgramVersion& version, const char* fileVersion)
{
    const std::string text = fileVersion ? fileVersion : TREVOLO_VERSION_TEXT;
    std::vector<int> parts;
    size_t b = 0;
    while (b <= text.size()) {
        size_t e = text.find('.', b);
        if (e == std::string::npos)
            e = text.size();
        int v = 0;
        if (!TryStrToInt(std::string_view(text).substr(b, e - b), v) || v < 0)
            return;
        parts.push_back(v);
        b = e + 1;
    }
    if (parts.size() != 4)
        return;
    version.major = parts[0];
    version.minor = parts[1];
    version.release = parts[2];
    version.build = parts[3];
    version.versionText = text;
}

}  // namespace trevolo
