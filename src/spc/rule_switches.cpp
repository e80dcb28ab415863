#include "spc/rule_switches.h"

#include <array>

#include "model/number.h"
#include "spc/rule_options.h"

namespace trevolo {

namespace {

// The lists of a rule (none for rule 1, two for rules 5 and 6).
struct RuleLists {
    int count = 0;
    int list[2] = {-1, -1};
};

RuleLists ListsOfRule(int rule)
{
    RuleLists r;
    for (int i = 0; i < kRuleListCount; ++i) {
        if (kRuleLists[static_cast<size_t>(i)].rule == rule)
            r.list[r.count++] = i;
    }
    return r;
}

std::string ItemsText(int list)
{
    std::string s;
    for (int v : kRuleLists[static_cast<size_t>(list)].items) {
        if (!s.empty())
            s += ", ";
        s += std::to_string(v);
    }
    return s;
}

std::string Quoted(std::string_view t)
{
    return "\"" + std::string(t) + "\"";
}

// The value of a list from its text; false with a message when it is not a
// whole number or not one of the list's items.
bool ReadValue(int rule, int list, std::string_view text, int& value, std::string& error)
{
    const std::string_view what = kRuleLists[static_cast<size_t>(list)].slot == 0 ? "" : " (hit count)";
    if (!TryStrToInt(text, value) || RuleListItemIndex(list, value) < 0) {
        error = "rule " + std::to_string(rule) + std::string(what) + ": " + Quoted(Trim(text)) + " is not one of " +
                ItemsText(list);
        return false;
    }
    return true;
}

std::string Usage(int rule)
{
    const RuleLists lists = ListsOfRule(rule);
    const std::string r = std::to_string(rule);
    if (lists.count == 0)
        return "rule 1 takes no value (write \"1\")";
    if (lists.count == 1)
        return "rule " + r + " takes one run length, e.g. \"" + r + ":" +
               std::to_string(RuleListDefault(lists.list[0])) + "\"";
    return "rule " + r + " takes a block length and a hit count, e.g. \"" + r + ":" +
           std::to_string(RuleListDefault(lists.list[0])) + "/" + std::to_string(RuleListDefault(lists.list[1])) + "\"";
}

}  // namespace

bool ParseRuleSpec(std::string_view text, RuleOptions& out, std::string& error)
{
    RuleOptions o = WithDefaultRuleValues(RuleOptions{});
    for (int rule = 1; rule <= 8; ++rule)
        o.setCheck(rule, false);
    std::array<bool, 9> named{};

    if (!IsBlank(text)) {
        size_t begin = 0;
        while (begin <= text.size()) {
            size_t end = text.find(',', begin);
            if (end == std::string_view::npos)
                end = text.size();
            const std::string_view item = Trim(text.substr(begin, end - begin));
            begin = end + 1;
            if (item.empty()) {
                error = "empty item in the rule list";
                return false;
            }
            const size_t colon = item.find(':');
            const std::string_view head = Trim(item.substr(0, colon));
            int rule = 0;
            if (!TryStrToInt(head, rule) || rule < 1 || rule > 8) {
                error = "\"" + std::string(item) + "\": a rule is a number from 1 to 8";
                return false;
            }
            if (named[static_cast<size_t>(rule)]) {
                error = "rule " + std::to_string(rule) + " is named twice";
                return false;
            }
            named[static_cast<size_t>(rule)] = true;
            o.setCheck(rule, true);
            if (colon == std::string_view::npos)
                continue;  // its usual values

            const RuleLists lists = ListsOfRule(rule);
            const std::string_view values = item.substr(colon + 1);
            const size_t slash = values.find('/');
            const size_t given = slash == std::string_view::npos ? 1 : 2;
            if (lists.count == 0 || given != static_cast<size_t>(lists.count) ||
                (slash != std::string_view::npos && values.find('/', slash + 1) != std::string_view::npos)) {
                error = "\"" + std::string(item) + "\": " + Usage(rule);
                return false;
            }
            int first = 0;
            if (!ReadValue(rule, lists.list[0], values.substr(0, slash), first, error))
                return false;
            RuleListValue(o, lists.list[0]) = first;
            if (lists.count == 2) {
                int second = 0;
                if (!ReadValue(rule, lists.list[1], values.substr(slash + 1), second, error))
                    return false;
                RuleListValue(o, lists.list[1]) = second;
            }
        }
    }

    if (const auto bad = ValidateRuleOptions(o)) {
        const int list = *bad;
        const int rule = kRuleLists[static_cast<size_t>(list)].rule;
        const RuleLists lists = ListsOfRule(rule);
        if (lists.count == 2) {
            error = "rule " + std::to_string(rule) + ": the block length " +
                    std::to_string(RuleListValue(o, lists.list[0])) + " is smaller than the hit count " +
                    std::to_string(RuleListValue(o, lists.list[1]));
        } else {
            error = "rule " + std::to_string(rule) + ": " + std::to_string(RuleListValue(o, list)) + " is not one of " +
                    ItemsText(list);
        }
        return false;
    }
    out = o;
    return true;
}

std::string FormatRuleSpec(const RuleOptions& options)
{
    std::string s;
    for (int rule = 1; rule <= 8; ++rule) {
        if (!options.check(rule))
            continue;
        if (!s.empty())
            s += ',';
        s += std::to_string(rule);
        const RuleLists lists = ListsOfRule(rule);
        for (int i = 0; i < lists.count; ++i) {
            s += i == 0 ? ':' : '/';
            s += std::to_string(RuleListValue(options, lists.list[i]));
        }
    }
    return s;
}

}  // namespace trevolo
