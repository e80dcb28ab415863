#include "document/capability_study.h"

namespace trevolo {

CapabilityStudy StudySessionCapability(const SheetSession& session, const LotSource* lots)
{
    const GridLots grid(session.lotCells(), session.valueCells(), session.lots(), session.columns());
    CapabilityStudyInput in;
    in.chartKind = IndexOf(session.chartKind());
    in.specKind = IndexOf(session.header().specKind);
    in.upper = session.header().upper;
    in.lower = session.header().lower;
    in.thresholdOn = session.threshold().on;
    in.thresholdIndex = session.threshold().index;
    in.threshold = session.threshold().text;
    return StudyCapability(lots ? *lots : grid, in);
}

}  // namespace trevolo
