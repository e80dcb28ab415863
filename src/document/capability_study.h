#pragma once
// The capability study of the shown sheet (σ within and overall, Cp/Cpk and
// Pp/Ppk with their 95 % lower bounds and verdicts), from the session's
// tables, header and threshold as they stand: the capability panel of the
// charts page and the batch tool show the same study.
#include "document/sheet_session.h"
#include "stats/process_capability.h"

namespace trevolo {

// lots: the session's values already converted (as the batch chain holds
// them), or null to read the session's tables.
CapabilityStudy StudySessionCapability(const SheetSession& session, const LotSource* lots = nullptr);

}  // namespace trevolo
