#include "spc/rule_options.h"

#include <stdexcept>

namespace trevolo {

namespace {

// The field each list edits, in list order.
constexpr std::int32_t RuleOptions::*kListFields[kRuleListCount] = {
    &RuleOptions::sameSideRun,       &RuleOptions::trendRun,         &RuleOptions::alternatingRun,
    &RuleOptions::beyond2SigmaBlock, &RuleOptions::beyond2SigmaHits, &RuleOptions::beyond1SigmaBlock,
    &RuleOptions::beyond1SigmaHits,  &RuleOptions::within1SigmaRun,  &RuleOptions::outside1SigmaRun,
};

std::int32_t RuleOptions::*ListField(int list)
{
    if (list < 0 || list >= kRuleListCount)
        throw std::out_of_range("rule list index");
    return kListFields[list];
}

}  // namespace

std::int32_t& RuleListValue(RuleOptions& o, int list)
{
    return o.*ListField(list);
}

std::int32_t RuleListValue(const RuleOptions& o, int list)
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
    return RuleListValue(RuleOptions::Defaults(), list);
}

std::optional<int> ValidateRuleOptions(const RuleOptions& o)
{
    for (int list = 0; list < kRuleListCount; ++list)
        if (RuleListItemIndex(list, RuleListValue(o, list)) < 0)
            return list;
    if (o.beyond2SigmaBlock < o.beyond2SigmaHits)
        return ListBeyond2SigmaBlock;
    if (o.beyond1SigmaBlock < o.beyond1SigmaHits)
        return ListBeyond1SigmaBlock;
    return std::nullopt;
}

RuleOptions WithDefaultRuleValues(const RuleOptions& options)
{
    RuleOptions result = options;
    const RuleOptions defaults = RuleOptions::Defaults();
    for (int list = 0; list < kRuleListCount; ++list)
        RuleListValue(result, list) = RuleListValue(defaults, list);
    return result;
}

}  // namespace trevolo
