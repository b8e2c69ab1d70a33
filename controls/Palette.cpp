#include "controls/Palette.h"

#include <commctrl.h>

namespace {

ThemePalette g_palette = {};

bool SystemHighContrast()
{
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

HighContrastQuery g_highContrastQuery = &SystemHighContrast;

// High contrast: the system's colours in the pairs the system draws them in (text on its own
// background), so that whatever contrast theme the user chose carries over unchanged. Pictures
// keep their own colours. docs/accessibility.md has this mapping as a table.
void AssignHighContrastColours(ThemePalette& p)
{
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF grey = ::GetSysColor(COLOR_GRAYTEXT);
    p.CaptionText = text;
    p.WindowBackground = window;
    p.FrameBorder = text;
    p.FrameBackground = window;
    p.CloseHover = highlight;
    p.CloseDown = highlight;
    p.CaptionButtonHover = highlight;
    p.CaptionButtonDown = highlight;
    p.StrongText = text;
    p.LabelText = text;
    p.FieldBackground = window;
    p.FieldButtonBackground = face;
    p.ProgressTrack = window;
    p.ProgressFill = highlight;
    p.Accent = highlight;
    p.AccentHover = highlight;
    p.AccentDown = highlight;
    p.AccentDisabled = face;
    p.AccentText = highlightText;
    p.AccentDisabledText = grey;
    p.LinkText = ::GetSysColor(COLOR_HOTLIGHT);
    p.Separator = text;
    // The system's colour for the state of an interactive element; it stands out on the
    // window background and on the outlines in the window text, where the cue is drawn. On
    // the highlight face of the text buttons the cue takes the highlight's own text colour.
    p.FocusCue = highlight;
    p.DisabledText = grey;
    p.FieldText = text;
    p.FieldBorder = text;
    p.FieldActiveBorder = highlight;
    p.ListBorder = text;
    p.ListText = text;
    p.ListSelectedText = highlightText;
    p.ListBackground = window;
    p.ListSelectedBackground = highlight;
    p.ButtonText = ::GetSysColor(COLOR_BTNTEXT);
    p.ControlOutline = text;
    p.AccentFocusCue = highlightText;
}

} // namespace

const ThemePalette& Palette()
{
    return g_palette;
}

bool IsHighContrastOn()
{
    return g_highContrastQuery();
}

void SetHighContrastQueryForTesting(HighContrastQuery query)
{
    g_highContrastQuery = query ? query : &SystemHighContrast;
}

void InitThemePalette()
{
    ThemePalette& p = g_palette;
    if (IsHighContrastOn()) {
        AssignHighContrastColours(p);
        return;
    }
    p.CaptionText = RGB(200, 200, 200);
    p.WindowBackground = RGB(24, 25, 30);
    p.FrameBorder = RGB(24, 25, 30);
    p.FrameBackground = RGB(24, 25, 30);
    p.CloseHover = RGB(181, 39, 36);
    p.CloseDown = RGB(149, 16, 14);
    p.CaptionButtonHover = RGB(49, 63, 73);
    p.CaptionButtonDown = RGB(28, 31, 33);
    p.StrongText = RGB(255, 255, 255);
    p.LabelText = RGB(185, 186, 187);
    p.FieldBackground = RGB(47, 48, 52);
    p.FieldButtonBackground = RGB(65, 66, 70);
    p.ProgressTrack = RGB(75, 71, 70);
    p.ProgressFill = RGB(7, 165, 216);
    p.Accent = RGB(7, 165, 216);
    p.AccentHover = RGB(23, 190, 244);
    p.AccentDown = RGB(5, 138, 181);
    p.AccentDisabled = RGB(112, 112, 112);
    p.AccentText = RGB(255, 255, 255);
    p.AccentDisabledText = RGB(240, 240, 240);
    p.LinkText = RGB(89, 134, 178);
    p.Separator = RGB(40, 40, 40);
    p.FocusCue = RGB(255, 255, 255);
    p.DisabledText = ::GetSysColor(COLOR_GRAYTEXT);
    p.FieldText = RGB(255, 255, 255);
    // The same as the field: the outline does not show.
    p.FieldBorder = RGB(47, 48, 52);
    p.FieldActiveBorder = RGB(54, 138, 211);
    p.ListBorder = RGB(54, 138, 211);
    p.ListText = RGB(206, 216, 223);
    p.ListSelectedText = RGB(206, 216, 223);
    p.ListBackground = RGB(20, 26, 32);
    p.ListSelectedBackground = RGB(51, 60, 67);
    p.ButtonText = RGB(255, 255, 255);
    p.ControlOutline = CLR_NONE;
    p.AccentFocusCue = RGB(255, 255, 255);
}
