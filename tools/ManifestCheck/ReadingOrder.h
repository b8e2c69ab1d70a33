// Reporting the elements the installer's reader did not visit. The reading orders and the
// wording of each finding are the installer's own (config/ReadingOrder.h), so that the check
// tool and the installer's run log say the same.
#pragma once

#include "CheckReport.h"

#include "config/DocumentMap.h"
#include "config/ReadingOrder.h"

// One warning per finding of FindSkippedElements. Returns the number of warnings.
int ReportSkippedElements(const CDocumentMap& map, const ReadingOrders& orders,
                          CCheckReport& report);
