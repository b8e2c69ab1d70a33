#include "controls/Palette.h"

namespace {

ThemePalette g_palette = {};

} // namespace

const ThemePalette& Palette()
{
    return g_palette;
}

void InitThemePalette()
{
    ThemePalette& p = g_palette;
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
}
