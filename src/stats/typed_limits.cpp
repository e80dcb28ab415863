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

bool HiddenRsLines(std::string_view rcl, std::string_view rsUcl3, std::string& rsUcl2, std::string& rsUcl1)
{
    double c = 0;
    double u3 = 0;
    if (IsBlank(rcl) || IsBlank(rsUcl3) || !TryStrToFloat(rcl, c) || !TryStrToFloat(rsUcl3, u3))
        return false;
    const long double step = (static_cast<long double>(u3) - c) / 3;
    rsUcl2 = FormatFixed(static_cast<double>(c + 2 * step), 4);
    rsUcl1 = FormatFixed(static_cast<double>(c + step), 4);
    return true;
}

void HiddenRsLinesAfterOneLine(std::string_view rcl, std::string_view rsUcl3,
                               const std::array<std::string, kLimitFields>& computed, std::string& rsUcl2,
                               std::string& rsUcl1)
{
    const bool shownAsComputed = rcl == computed[LimitRcl] && rsUcl3 == computed[LimitRsUcl3];
    if (shownAsComputed || !HiddenRsLines(rcl, rsUcl3, rsUcl2, rsUcl1)) {
        rsUcl2 = computed[LimitRsUcl2];
        rsUcl1 = computed[LimitRsUcl1];
    }
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
    // Hidden lines left out go with the typed R/S/Rs lines; with either of
    // those blank they stay empty.
    if (!doc.contains(kLimitFieldNames[LimitRsUcl2]) || !doc.contains(kLimitFieldNames[LimitRsUcl1])) {
        std::string ucl2;
        std::string ucl1;
        if (HiddenRsLines(texts[LimitRcl], texts[LimitRsUcl3], ucl2, ucl1)) {
            if (!doc.contains(kLimitFieldNames[LimitRsUcl2]))
                texts[LimitRsUcl2] = std::move(ucl2);
            if (!doc.contains(kLimitFieldNames[LimitRsUcl1]))
                texts[LimitRsUcl1] = std::move(ucl1);
        }
    }
    out = std::move(texts);
    return true;
}

}  // namespace trevolo
