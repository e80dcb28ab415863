#include "model/comtype.h"

namespace trevolo {

InitialValues InitialValues::Defaults()
{
    InitialValues s;
    s.sheetCount = 3;
    s.lots = 100;
    s.n = 10;
    s.unit = "MM";
    s.specKind = 0;
    s.decimals = 3;
    s.cpkCheck = true;
    s.cpkIndex = 1;
    s.cpCpk = "1.33";
    s.chartKind = 0;
    s.limitMethod = 0;
    return s;
}

RuleOptions RuleOptions::Defaults()
{
    RuleOptions o;
    for (int r = 1; r <= 8; ++r)
        o.setCheck(r, true);
    o.sameSideRun = 9;
    o.trendRun = 6;
    o.alternatingRun = 14;
    o.beyond2SigmaBlock = 3;
    o.beyond2SigmaHits = 2;
    o.beyond1SigmaBlock = 5;
    o.beyond1SigmaHits = 4;
    o.within1SigmaRun = 15;
    o.outside1SigmaRun = 8;
    return o;
}

bool RuleOptions::check(int rule) const
{
    switch (rule) {
    case 1:
        return beyondLimits;
    case 2:
        return sameSide;
    case 3:
        return trend;
    case 4:
        return alternating;
    case 5:
        return beyond2Sigma;
    case 6:
        return beyond1Sigma;
    case 7:
        return within1Sigma;
    case 8:
        return outside1Sigma;
    default:
        return false;
    }
}

void RuleOptions::setCheck(int rule, bool on)
{
    switch (rule) {
    case 1:
        beyondLimits = on;
        break;
    case 2:
        sameSide = on;
        break;
    case 3:
        trend = on;
        break;
    case 4:
        alternating = on;
        break;
    case 5:
        beyond2Sigma = on;
        break;
    case 6:
        beyond1Sigma = on;
        break;
    case 7:
        within1Sigma = on;
        break;
    case 8:
        outside1Sigma = on;
        break;
    default:
        break;
    }
}

bool operator==(const InitialValues& a, const InitialValues& b)
{
    return a.sheetCount == b.sheetCount && a.lots == b.lots && a.n == b.n && a.unit == b.unit &&
           a.specKind == b.specKind && a.decimals == b.decimals && a.cpkCheck == b.cpkCheck &&
           a.cpkIndex == b.cpkIndex && a.cpCpk == b.cpCpk && a.chartKind == b.chartKind &&
           a.limitMethod == b.limitMethod;
}

bool operator==(const RuleOptions& a, const RuleOptions& b)
{
    for (int r = 1; r <= 8; ++r)
        if (a.check(r) != b.check(r))
            return false;
    return a.sameSideRun == b.sameSideRun && a.trendRun == b.trendRun && a.alternatingRun == b.alternatingRun &&
           a.beyond2SigmaBlock == b.beyond2SigmaBlock && a.beyond2SigmaHits == b.beyond2SigmaHits &&
           a.beyond1SigmaBlock == b.beyond1SigmaBlock && a.beyond1SigmaHits == b.beyond1SigmaHits &&
           a.within1SigmaRun == b.within1SigmaRun && a.outside1SigmaRun == b.outside1SigmaRun;
}

bool operator==(const SheetRecord& a, const SheetRecord& b)
{
    return a.product == b.product && a.process == b.process && a.machine == b.machine && a.label == b.label &&
           a.unit == b.unit && a.specKindText == b.specKindText && a.decimals == b.decimals &&
           a.upperSpec == b.upperSpec && a.lowerSpec == b.lowerSpec && a.lots == b.lots && a.n == b.n &&
           a.hasLists == b.hasLists && a.checkList == b.checkList && a.dataList == b.dataList &&
           a.storeRefs == b.storeRefs;
}

}  // namespace trevolo
