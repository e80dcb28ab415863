#pragma once
// What the plant store adds to the charts of a sheet it follows: the open
// alarms' marks, the notes on lots and the limits in force for each lot
// where a revision made them differ from the sheet's. Kept beside the shown
// sheet, never saved with it and never a step of its history: the store is
// where it lives. The tables and the spreadsheet reports do not show it.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "stats/control_limits.h"

namespace trevolo {

struct StoreOverlay {
    // Index: lot row − 1 of the shown sheet. Each vector may be shorter than
    // the lot count; a row past its end has nothing.
    // The marks of the alarms found at or covering the lot, as the SPC
    // table titles them ("X②", "Rs①").
    std::vector<std::vector<std::string>> alarmMarks;
    // The lot's notes, newest last, each "text（who, time）" as shown.
    std::vector<std::vector<std::string>> notes;
    // The eleven limit texts in force for the lot, when they differ from
    // the limits the sheet shows (lots judged before a revision).
    std::vector<std::optional<std::array<std::string, kLimitFields>>> limits;

    bool empty() const { return alarmMarks.empty() && notes.empty() && limits.empty(); }
    bool operator==(const StoreOverlay&) const = default;
};

}  // namespace trevolo
