// DPI arithmetic shared by all drawing code (standard C++): the two scaling
// rules, the picture-size snapping, the lazily filled screen DPI cache and
// the lengths computed once from it.
#pragma once

#include <cstdint>

constexpr int kBaseDpi = 96;

// Stepped factor: 1.0 below 1.25 x 96 dpi, then 1.25, 1.5, and 2.0 from 2 x
// 96 dpi on. There is no step above 2.0.
double DpiStepFactor(int dpi);

// Stepped rule: n x DpiStepFactor(dpi), truncated toward zero.
int ScaleStepped(int n, int dpi);

// Linear rule: dpi x n / 96 in single precision, truncated toward zero.
int ScaleLinear(int n, int dpi);

// A vertical DPI snapped down to one of the picture sizes 120, 144 or 192;
// below 120 the value itself.
int SnapDpi(int dpiY);

// Both rules clamp results outside the int range to INT_MIN / INT_MAX rather
// than converting an unrepresentable value.

// The screen DPI, read once per process on first use. The reader asks the
// screen; when it fails, or reports a value that is not positive, the cache
// keeps 96 but still counts as read, so the screen is asked only once.
class DpiCache
{
public:
    using Reader = bool (*)(int* dpiX, int* dpiY);

    explicit DpiCache(Reader reader) : m_reader(reader) {}

    void Ensure();
    int X() { Ensure(); return m_dpiX; }
    int Y() { Ensure(); return m_dpiY; }
    bool IsRead() const { return m_read; }

    // Sets the values as if read (tests, and callers that already know them).
    void Set(int dpiX, int dpiY);
    // Forgets the values so that the next use asks the reader again (tests).
    void Reset();
    void SetReader(Reader reader) { m_reader = reader; }

private:
    Reader m_reader;
    int m_dpiX = kBaseDpi;
    int m_dpiY = kBaseDpi;
    bool m_read = false;
};

// Lengths that several controls share, computed once from the screen DPI.
struct ScaledConstants
{
    int panelWidth;            // stepped X of 660
    int panelHeight;           // stepped Y of 446
    float barRadiusX;          // dpiX x 3 / 96, not rounded
    float barRadiusY;          // dpiY x 3 / 96, not rounded
    int buttonRadiusX;         // linear X of 4
    int buttonRadiusY;         // dpiY x 4 / 96, truncated
};

ScaledConstants ComputeScaledConstants(int dpiX, int dpiY);

// Direct2D colour components of a COLORREF (0x00BBGGRR): red from the low
// byte, green from the middle byte, blue from the third, each / 255, alpha 1.
struct ColorComponents
{
    float r, g, b, a;
};

ColorComponents ColorRefComponents(std::uint32_t colorRef);
