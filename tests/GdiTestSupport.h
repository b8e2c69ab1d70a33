// Counting this process's live GDI objects, for tests that repaint many times and check that
// nothing is left behind.
#pragma once

#include <windows.h>

namespace testing_support {

// Live GDI objects of this process. GetGuiResources answers on Windows; Wine's is a stub that
// answers 0, and there a handle value below 0x10000 names its table slot whatever the slot's
// generation, so asking each slot's object type counts the live ones.
inline int CountLiveGdiObjects()
{
    DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0)
        return static_cast<int>(count);
    int live = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0)
            ++live;
    return live;
}

} // namespace testing_support
