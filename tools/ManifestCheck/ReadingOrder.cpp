#include "ReadingOrder.h"

int ReportSkippedElements(const CDocumentMap& map, const ReadingOrders& orders,
                          CCheckReport& report)
{
    const std::vector<std::wstring> findings = FindSkippedElements(map, orders);
    for (const std::wstring& finding : findings)
        report.Warning(finding);
    return static_cast<int>(findings.size());
}
