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
    // Text of a disabled or read-only field.
    COLORREF DisabledText;
    // The edit field and the closed drop-down box: text, outline, outline while active.
    COLORREF FieldText;
    COLORREF FieldBorder;
    COLORREF FieldActiveBorder;
    // The open drop-down list.
    COLORREF ListBorder;
    COLORREF ListText;
    COLORREF ListSelectedText;
    COLORREF ListBackground;
    COLORREF ListSelectedBackground;
    // Captions of the flat image buttons (the browse button's "...").
    COLORREF ButtonText;
    // A one-pixel outline around controls that otherwise show no bounds (text and image
    // buttons, the progress bar): CLR_NONE, no outline, unless colour alone cannot separate
    // a control from the window, as in high contrast.
    COLORREF ControlOutline;
    // The focus cue on the accent-coloured face of the text buttons.
    COLORREF AccentFocusCue;
};

// The process-wide palette; all zero (black) until InitThemePalette runs.
const ThemePalette& Palette();

// Assigns every colour its value: the installer's own colours, or in high-contrast mode the
// system's colours (docs/accessibility.md has the mapping). Start-up calls it on the
// user-interface thread, after registering the main window class; the top-level windows
// call it again when the system's colours or settings change.
void InitThemePalette();

// Whether the system's high-contrast mode is on (SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON).
bool IsHighContrastOn();

// Tests: what IsHighContrastOn answers instead of the system (null: the system again).
using HighContrastQuery = bool (*)();
void SetHighContrastQueryForTesting(HighContrastQuery query);
