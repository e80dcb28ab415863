#include "model/comtype.h"

namespace trevolo {

Struct_Settings Struct_Settings::Defaults()
{
    Struct_Settings s;
    s.Tab = 3;
    s.Row = 100;
    s.Col = 10;
    s.Unit = "MM";
    s.SpecIndex = 0;
    s.Keta = 3;
    s.CpkCheck = true;
    s.CpkIndex = 1;
    s.CpCpk = "1.33";
    s.ChartIndex = 0;
    s.LimitIndex = 0;
    return s;
}

Struct_Options Struct_Options::Defaults()
{
    Struct_Options o;
    for (int r = 1; r <= 8; ++r)
        o.setCheck(r, true);
    o.Chk2Comp1 = 9;
    o.Chk3Comp1 = 6;
    o.Chk4Comp1 = 14;
    o.Chk5Comp1 = 3;
    o.Chk5Comp2 = 2;
    o.Chk6Comp1 = 5;
    o.Chk6Comp2 = 4;
    o.Chk7Comp1 = 15;
    o.Chk8Comp1 = 8;
    return o;
}

bool Struct_Options::check(int rule) const
{
    switch (rule) {
    case 1:
        return Check1;
    case 2:
        return Check2;
    case 3:
        return Check3;
    case 4:
        return Check4;
    case 5:
        return Check5;
    case 6:
        return Check6;
    case 7:
        return Check7;
    case 8:
        return Check8;
    default:
        return false;
    }
}

void Struct_Options::setCheck(int rule, bool on)
{
    switch (rule) {
    case 1:
        Check1 = on;
        break;
    case 2:
        Check2 = on;
        break;
    case 3:
        Check3 = on;
        break;
    case 4:
        Check4 = on;
        break;
    case 5:
        Check5 = on;
        break;
    case 6:
        Check6 = on;
        break;
    case 7:
        Check7 = on;
        break;
    case 8:
        Check8 = on;
        break;
    default:
        break;
    }
}

bool operator==(const Struct_Settings& a, const Struct_Settings& b)
{
    return a.Tab == b.Tab && a.Row == b.Row && a.Col == b.Col && a.Unit == b.Unit && a.SpecIndex == b.SpecIndex &&
           a.Keta == b.Keta && a.CpkCheck == b.CpkCheck && a.CpkIndex == b.CpkIndex && a.CpCpk == b.CpCpk &&
           a.ChartIndex == b.ChartIndex && a.LimitIndex == b.LimitIndex;
}

bool operator==(const Struct_Options& a, const Struct_Options& b)
{
    for (int r = 1; r <= 8; ++r)
        if (a.check(r) != b.check(r))
            return false;
    return a.Chk2Comp1 == b.Chk2Comp1 && a.Chk3Comp1 == b.Chk3Comp1 && a.Chk4Comp1 == b.Chk4Comp1 &&
           a.Chk5Comp1 == b.Chk5Comp1 && a.Chk5Comp2 == b.Chk5Comp2 && a.Chk6Comp1 == b.Chk6Comp1 &&
           a.Chk6Comp2 == b.Chk6Comp2 && a.Chk7Comp1 == b.Chk7Comp1 && a.Chk8Comp1 == b.Chk8Comp1;
}

bool operator==(const Struct_Sheet& a, const Struct_Sheet& b)
{
    return a.Product == b.Product && a.Process == b.Process && a.Mbc == b.Mbc && a.Label == b.Label &&
           a.Unit == b.Unit && a.SpecKind == b.SpecKind && a.Keta == b.Keta && a.Kupper == b.Kupper &&
           a.Klower == b.Klower && a.Row == b.Row && a.Col == b.Col && a.HasLists == b.HasLists &&
           a.CheckList == b.CheckList && a.DataList == b.DataList && a.StoreRefs == b.StoreRefs;
}

}  // namespace trevolo
