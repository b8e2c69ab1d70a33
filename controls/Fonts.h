// The fonts that all panels and controls share. Created once by start-up,
// deleted at shut-down (or at process exit); no control deletes them.
#pragma once

#include <windows.h>

// Null before CreateSharedFonts, after DeleteSharedFonts, or when creating
// that font failed; a control selecting a null font keeps the DC's font.
HFONT TextFont();
HFONT LinkFont();
HFONT ButtonFont();
HFONT HeadingFont();

// Creates the four fonts with cell heights scaled by DpiScaleX. Fonts from
// an earlier call are deleted first.
void CreateSharedFonts();

// Deletes the four fonts; safe to call more than once.
void DeleteSharedFonts();
