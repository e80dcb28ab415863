#include "stats/typed_limits.h"

#include <nlohmann/json.hpp>

#include "model/number.h"

namespace trevolo {

int LimitFieldIndex(std::string_view name) noexcept
{
    for (int i = 0; i < kLimitFields; ++i)
        if (name == kLimitFieldNames[static_cast<size_t>(i)])
            return i;
    return -1;
}

bool TypedLimitText(std::string_view typed, std::string& shown)
{
    if (IsBlank(typed)) {
        shown.assign(typed);
        return true;
    }
    double v = 0;
    if (!TryStrToFloat(typed, v))
        return false;
    shown = FormatFixed(v, 4);
    return true;
}

bool ParseTypedLimits(std::string_view json, std::array<std::string, kLimitFields>& out, std::string& error)
{
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(json.begin(), json.end());
    } catch (const nlohmann::json::exception& e) {
        error = std::string("not valid JSON: ") + e.what();
        return false;
    }
    if (!doc.is_object()) {
        error = "the limits must be a JSON object with the limit field names as keys";
        return false;
    }
    std::array<std::string, kLimitFields> texts;
    for (const auto& [key, value] : doc.items()) {
        const int field = LimitFieldIndex(key);
        if (field < 0) {
            std::string names;
            for (const char* n : kLimitFieldNames)
                names += names.empty() ? n : std::string(", ") + n;
            error = "\"" + key + "\" is not a limit field (the fields are " + names + ")";
            return false;
        }
        if (!value.is_string()) {
            error = key + ": the value must be a text, e.g. \"10.5\"";
            return false;
        }
        const std::string& typed = value.get_ref<const std::string&>();
        if (!TypedLimitText(typed, texts[static_cast<size_t>(field)])) {
            error = key + ": \"" + typed + "\" is not a number";
            return false;
        }
    }
    out = std::move(texts);
    return true;
}

}  // namespace trevolo
