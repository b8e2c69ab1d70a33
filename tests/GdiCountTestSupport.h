// Counting the live GDI objects of this process, for tests that repaint many times and check
// that nothing accumulates.
#pragma once

#include <windows.h>

#include <vector>

namespace testing_support {

// GetGuiResources where it answers. Wine answers 0; there the free handle slots are counted
// instead, by creating brushes until creation fails: the number of free slots falls by one for
// every live object, so the result is the negated free count and still grows with each leak.
inline int LiveGdiObjectCount()
{
    DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (count)
        return static_cast<int>(count);
    std::vector<HBRUSH> probes;
    probes.reserve(70000);
    while (probes.size() < 70000) {
        HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!brush)
            break;
        probes.push_back(brush);
    }
    for (HBRUSH brush : probes)
        ::DeleteObject(brush);
    return -static_cast<int>(probes.size());
}

} // namespace testing_support
