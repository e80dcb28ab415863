#include "entry/value_entry.h"

namespace trevolo {

int RemoveMisplacedMinus(std::string& text)
{
    const std::string::size_type at = text.find('-');
    if (at == std::string::npos || at == 0)
        return -1;
    text.erase(at, 1);
    return static_cast<int>(at);
}

}  // namespace trevolo
