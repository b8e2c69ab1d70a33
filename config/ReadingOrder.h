// The order in which the installer's readers look for the elements of its documents, and
// the elements a reader skipped because they stand where it never looks (standard C++).
// Which elements were visited comes from the real reader (CVisitRecorder over a
// CDocumentMap); the orders below only word the explanations. The installer writes these
// findings to its run log; the vendor's check tool reports them as warnings.
#pragma once

#include "config/DocumentMap.h"

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

// One finding per element the reader skipped, with its line and the reason, in document
// order. Elements inside a skipped element are counted with it rather than listed. The
// top-level element is not looked at (a wrong root is reported on its own). Past 200
// findings the rest are counted in one last line instead of being listed.
std::vector<std::wstring> FindSkippedElements(const CDocumentMap& map,
                                              const ReadingOrders& orders);

// The order of a container as a hint ("pid, full_name, ..., then every dependency").
std::wstring DescribeOrder(const ContainerOrder& order);
