#include "controls/DpiMath.h"

#include <climits>

namespace {

// Truncates toward zero, saturating where the value has no int.
int TruncateToInt(double value)
{
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

double DpiStepFactor(int dpi)
{
    const double ratio = dpi / 96.0;
    if (ratio < 1.25)
        return 1.0;
    if (ratio < 1.5)
        return 1.25;
    if (ratio < 2.0)
        return 1.5;
    return 2.0;
}

int ScaleStepped(int n, int dpi)
{
    return TruncateToInt(n * DpiStepFactor(dpi));
}

int ScaleLinear(int n, int dpi)
{
    // Single precision on purpose: the linear rule's results (and their
    // rounding for large values) are those of float arithmetic.
    const float value = static_cast<float>(dpi) * static_cast<float>(n) / 96.0f;
    return TruncateToInt(static_cast<double>(value));
}

int SnapDpi(int dpiY)
{
    if (dpiY >= 192)
        return 192;
    if (dpiY >= 144)
        return 144;
    if (dpiY >= 120)
        return 120;
    return dpiY;
}

void DpiCache::Ensure()
{
    if (m_read)
        return;
    m_read = true;
    int x = 0;
    int y = 0;
    if (m_reader && m_reader(&x, &y) && x > 0 && y > 0) {
        m_dpiX = x;
        m_dpiY = y;
    }
}

void DpiCache::Set(int dpiX, int dpiY)
{
    m_dpiX = dpiX > 0 ? dpiX : kBaseDpi;
    m_dpiY = dpiY > 0 ? dpiY : kBaseDpi;
    m_read = true;
}

void DpiCache::Reset()
{
    m_dpiX = kBaseDpi;
    m_dpiY = kBaseDpi;
    m_read = false;
}

ScaledConstants ComputeScaledConstants(int dpiX, int dpiY)
{
    ScaledConstants c;
    c.panelWidth = ScaleStepped(660, dpiX);
    c.panelHeight = ScaleStepped(446, dpiY);
    c.barRadiusX = static_cast<float>(dpiX) * 3.0f / 96.0f;
    c.barRadiusY = static_cast<float>(dpiY) * 3.0f / 96.0f;
    c.buttonRadiusX = ScaleLinear(4, dpiX);
    c.buttonRadiusY = ScaleLinear(4, dpiY);
    return c;
}

ColorComponents ColorRefComponents(std::uint32_t colorRef)
{
    ColorComponents c;
    c.r = static_cast<float>(colorRef & 0xFF) / 255.0f;
    c.g = static_cast<float>((colorRef >> 8) & 0xFF) / 255.0f;
    c.b = static_cast<float>((colorRef >> 16) & 0xFF) / 255.0f;
    c.a = 1.0f;
    return c;
}
