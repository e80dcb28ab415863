#include "spc/rule_options.h"

#include <stdexcept>

namespace trevolo {

namespace {

// The field each list edits, in list order.
constexpr std::int32_t Struct_Options::*kListFields[kRuleListCount] = {
    &Struct_Options::Chk2Comp1, &Struct_Options::Chk3Comp1, &Struct_Options::Chk4Comp1,
    &Struct_Options::Chk5Comp1, &Struct_Options::Chk5Comp2, &Struct_Options::Chk6Comp1,
    &Struct_Options::Chk6Comp2, &Struct_Options::Chk7Comp1, &Struct_Options::Chk8Comp1,
};

std::int32_t Struct_Options::*ListField(int list)
{
    if (list < 0 || list >= kRuleListCount)
        throw std::out_of_range("rule list index");
    return kListFields[list];
}

}  // namespace

std::int32_t& RuleListValue(Struct_Options& o, int list)
{
    return o.*ListField(list);
}

std::int32_t RuleListValue(const Struct_Options& o, int list)
{
    return o.*ListField(list);
}

int RuleListItemIndex(int list, int value) noexcept
{
    if (list < 0 || list >= kRuleListCount)
        return -1;
    const auto& items = kRuleLists[static_cast<size_t>(list)].items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == value)
            return static_cast<int>(i);
    return -1;
}

int RuleListDefault(int list)
{
    return RuleListValue(Struct_Options::Defaults(), list);
}

std::optional<int> ValidateRuleOptions(const Struct_Options& o)
{
    for (int list = 0; list < kRuleListCount; ++list)
        if (RuleListItemIndex(list, RuleListValue(o, list)) < 0)
            return list;
    if (o.Chk5Comp1 < o.Chk5Comp2)
        return ListChk5Comp1;
    if (o.Chk6Comp1 < o.Chk6Comp2)
        return ListChk6Comp1;
    return std::nullopt;
}

Struct_Options WithDefaultRuleValues(const Struct_Options& options)
{
    Struct_Options result = options;
    const Struct_Options defaults = Struct_Options::Defaults();
    for (int list = 0; list < kRuleListCount; ++list)
        RuleListValue(result, list) = RuleListValue(defaults, list);
    return result;
}

}  // namespace trevolo
