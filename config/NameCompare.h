// Product name comparison for the start decision on Windows.
#pragma once

#include <string>

// Equal without regard to letter case, for every letter Windows knows
// (CompareStringOrdinal with case folding), not just A-Z.
bool EqualNamesIgnoringCase(const std::wstring& a, const std::wstring& b);
