#include "document/kept_values.h"

#include <algorithm>

#include "model/sheetio.h"

namespace trevolo {

void KeptValues::refresh(int lots, int cols)
{
    lots = std::clamp(lots, 0, std::max(std::min(ctrl_.rows(), edit_.rows()) - 1, 0));
    cols = std::clamp(cols, 0, edit_.columns());
    if (cols != cols_) {
        // Another n: every lot is converted again.
        cols_ = cols;
        stamps_.assign(stamps_.size(), 0);
    }
    lots_ = lots;
    const size_t lotCount = static_cast<size_t>(lots_);
    const size_t width = static_cast<size_t>(cols_);
    stamps_.resize(lotCount, 0);
    values_.resize(lotCount * width, 0.0);
    kinds_.resize(lotCount * width, Blank);
    filled_.resize(lotCount, 0);
    for (int lot = 0; lot < lots_; ++lot) {
        const std::uint64_t stamp = edit_.rowStamp(lot + 1);
        std::uint64_t& seen = stamps_[static_cast<size_t>(lot)];
        if (seen == stamp)
            continue;
        seen = stamp;
        convertLot(*this, lot);
    }
}

void KeptLines::store(int lots, int cols, SheetRecord& sheet)
{
    lots = std::clamp(lots, 0, std::max(std::min(ctrl_.rows(), edit_.rows()) - 1, 0));
    cols = std::clamp(cols, 0, edit_.columns());
    if (cols != cols_) {
        cols_ = cols;
        valueStamps_.assign(valueStamps_.size(), 0);
    }
    const size_t count = static_cast<size_t>(lots);
    lotStamps_.resize(count, 0);
    valueStamps_.resize(count, 0);
    lines_.resize(count);
    sheet.hasLists = true;
    sheet.checkList.resize(count);
    sheet.dataList.resize(count);
    for (int r = 1; r <= lots; ++r) {
        const size_t i = static_cast<size_t>(r - 1);
        const std::uint64_t lotStamp = ctrl_.rowStamp(r);
        const std::uint64_t valueStamp = edit_.rowStamp(r);
        if (lotStamps_[i] != lotStamp || valueStamps_[i] != valueStamp) {
            lotStamps_[i] = lotStamp;
            valueStamps_[i] = valueStamp;
            lines_[i] = StoredDataLine(ctrl_, edit_, r, cols_);
        }
        sheet.checkList[i] = ctrl_.flag(1, r) ? "1" : "0";
        sheet.dataList[i] = lines_[i];
    }
}

}  // namespace trevolo
