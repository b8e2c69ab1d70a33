// The theme palette: every colour the installer draws with, by name.
#pragma once

#include <windows.h>

// Several names share a value; each element still reads its own name so that
// one can change without the others.
struct ThemePalette
{
    COLORREF CaptionText;
    COLORREF WindowBackground;
    COLORREF FrameBorder;
    COLORREF FrameBackground;
    COLORREF CloseHover;
    COLORREF CloseDown;
    COLORREF CaptionButtonHover;
    COLORREF CaptionButtonDown;
    COLORREF StrongText;
    COLORREF LabelText;
    COLORREF FieldBackground;
    COLORREF FieldButtonBackground;
    COLORREF ProgressTrack;
    COLORREF ProgressFill;
    COLORREF Accent;
    COLORREF AccentHover;
    COLORREF AccentDown;
    COLORREF AccentDisabled;
    COLORREF AccentText;
    COLORREF AccentDisabledText;
    COLORREF LinkText;
    COLORREF Separator;
    // The keyboard focus cue, drawn only once the keyboard has been used.
    COLORREF FocusCue;
};

// The process-wide palette; all zero (black) until InitThemePalette runs.
const ThemePalette& Palette();

// Assigns every colour its value. Start-up calls it once, on the
// user-interface thread, after registering the main window class.
void InitThemePalette();
