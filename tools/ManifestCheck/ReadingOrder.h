// Explaining the elements the installer's reader did not visit. Which elements were visited
// comes from the real reader (CVisitRecorder); the orders below only word the hints.
#pragma once

#include "CheckReport.h"
#include "DocumentMap.h"

#include <string>
#include <vector>

// The children of one container in the order the installer reads them.
struct ContainerOrder
{
    const wchar_t* container;
    // Found anywhere inside the container; the others only after it. nullptr: none.
    const wchar_t* keyChild;
    std::vector<const wchar_t*> children;
    // Children read repeatedly (every one in turn) rather than once.
    std::vector<const wchar_t*> repeated;
};

// The reading orders of one kind of document; the first entry, with an empty container
// name, lists what is read at the top level.
using ReadingOrders = std::vector<ContainerOrder>;

const ReadingOrders& ManifestReadingOrders();
const ReadingOrders& VersionDocumentReadingOrders();

// One warning per element the reader skipped, with its line and the reason. Elements inside
// a skipped element are counted with it rather than listed. The top-level element is not
// looked at (a wrong root is reported on its own). Returns the number of warnings.
int ReportSkippedElements(const CDocumentMap& map, const ReadingOrders& orders,
                          CCheckReport& report);

// The order of a container as a hint ("pid, full_name, ..., then every dependency").
std::wstring DescribeOrder(const ContainerOrder& order);
