// The screen DPI of this process and the scaling rules that turn 96-dpi
// lengths into device pixels. Everything here is for the user-interface
// thread only; the cache has no lock.
#pragma once

#include "controls/DpiMath.h"

// Reads the screen's LOGPIXELSX / LOGPIXELSY once (a failed GetDC leaves 96).
// A later DPI change is never seen.
void EnsureScreenDpi();

// The raw cached values, filled first if needed.
int ScreenDpiX();
int ScreenDpiY();

// Stepped rule on the horizontal / vertical DPI.
int DpiScaleX(int n);
int DpiScaleY(int n);

// Linear rule on the horizontal DPI.
int DpiScaleLinearX(int n);

// The vertical DPI snapped down to 120, 144 or 192 (below 120: itself); it
// chooses between the 100, 125, 150 and 200 % pictures.
int SnappedDpi();

// Panel size and corner radii, computed once from the screen DPI.
const ScaledConstants& ThemeConstants();

// Tests: pretend the screen has these DPI values, or forget the cache so that
// the next use reads the real screen again. Both recompute ThemeConstants.
void SetScreenDpiForTesting(int dpiX, int dpiY);
void ResetScreenDpiForTesting();
