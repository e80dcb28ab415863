#pragma once
// A full sheet for the window's benchmarks: 1000 lots of 100 values around
// 10 with three decimals, every seventh lot switched off.
#include <random>
#include <string>
#include <vector>

#include "model/commatext.h"
#include "model/comtype.h"
#include "model/number.h"
#include "model/sheetio.h"

namespace trevolo::bench {

inline SheetRecord FullSheet(int position, unsigned seed)
{
    SheetRecord s;
    InitSheet(s, position, InitialValues::Defaults(), 1000, 100);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> d(9.0, 11.0);
    std::vector<std::string> cells(100);
    for (int r = 1; r <= 1000; ++r) {
        for (auto& c : cells)
            c = FormatFixed(d(rng), 3);
        s.dataList.push_back(DataLineJoin(DefaultLotLabel(r), cells.data(), cells.size()));
        s.checkList.push_back(r % 7 ? "1" : "0");
    }
    return s;
}

}  // namespace trevolo::bench
