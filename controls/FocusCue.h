// The keyboard focus cue the custom-drawn controls share: a one-pixel dotted rectangle in the
// palette's FocusCue colour, drawn only while the control has the focus and keyboard cues are
// shown (framework/KeyboardCues.h).
#pragma once

#include <windows.h>

// Whether control has the keyboard focus and should show it now.
bool ShowsFocusCue(HWND control);

// Draws the cue along the inside of rect: every other pixel, starting at its top-left corner.
void DrawFocusCue(HDC dc, const RECT& rect);
// The same in another colour, for a cue on a coloured face (the palette's AccentFocusCue).
void DrawFocusCue(HDC dc, const RECT& rect, COLORREF colour);
