#include "controls/Dpi.h"

#include <windows.h>

namespace {

// The desktop DC is released on every path; it is only needed for the two
// device capabilities.
bool ReadScreenDpi(int* dpiX, int* dpiY)
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return false;
    *dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    *dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return true;
}

DpiCache& Cache()
{
    static DpiCache cache(ReadScreenDpi);
    return cache;
}

struct ConstantsSlot
{
    ScaledConstants values{};
    bool computed = false;
};

ConstantsSlot& Constants()
{
    static ConstantsSlot slot;
    return slot;
}

} // namespace

void EnsureScreenDpi()
{
    Cache().Ensure();
}

int ScreenDpiX()
{
    return Cache().X();
}

int ScreenDpiY()
{
    return Cache().Y();
}

int DpiScaleX(int n)
{
    return ScaleStepped(n, Cache().X());
}

int DpiScaleY(int n)
{
    return ScaleStepped(n, Cache().Y());
}

int DpiScaleLinearX(int n)
{
    return ScaleLinear(n, Cache().X());
}

int SnappedDpi()
{
    return SnapDpi(Cache().Y());
}

const ScaledConstants& ThemeConstants()
{
    ConstantsSlot& slot = Constants();
    if (!slot.computed) {
        slot.values = ComputeScaledConstants(Cache().X(), Cache().Y());
        slot.computed = true;
    }
    return slot.values;
}

void SetScreenDpiForTesting(int dpiX, int dpiY)
{
    Cache().Set(dpiX, dpiY);
    Constants().computed = false;
}

void ResetScreenDpiForTesting()
{
    Cache().Reset();
    Constants().computed = false;
}
