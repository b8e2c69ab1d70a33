// The Windows side of the theme: the screen DPI as this process reads it, the
// DPI-dependent functions, the palette and the fonts.
#include "controls/Theme.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Puts the real screen back behind the DPI functions after a test.
class ThemeDpi : public ::testing::Test
{
protected:
    void TearDown() override
    {
        DeleteSharedFonts();
        ResetScreenDpiForTesting();
    }
};

TEST_F(ThemeDpi, FunctionsFollowTheirAxisAndRule)
{
    SetScreenDpiForTesting(144, 120);
    EXPECT_EQ(144, ScreenDpiX());
    EXPECT_EQ(120, ScreenDpiY());
    EXPECT_EQ(45, DpiScaleX(30));
    EXPECT_EQ(37, DpiScaleY(30));
    EXPECT_EQ(21, DpiScaleLinearX(14));
    EXPECT_EQ(120, SnappedDpi());
    EXPECT_EQ(990, ThemeConstants().panelWidth);
    EXPECT_EQ(557, ThemeConstants().panelHeight);
    EXPECT_FLOAT_EQ(4.5f, ThemeConstants().barRadiusX);
    EXPECT_EQ(5, ThemeConstants().buttonRadiusY);

    SetScreenDpiForTesting(110, 191);
    EXPECT_EQ(14, DpiScaleX(14));
    EXPECT_EQ(16, DpiScaleLinearX(14));
    EXPECT_EQ(21, DpiScaleY(14));
    EXPECT_EQ(144, SnappedDpi());
    EXPECT_EQ(660, ThemeConstants().panelWidth); // recomputed for the new values
}

TEST_F(ThemeDpi, At96EveryValueIsUnchanged)
{
    SetScreenDpiForTesting(96, 96);
    for (int n : {-1, 0, 1, 4, 14, 30, 446, 660}) {
        EXPECT_EQ(n, DpiScaleX(n));
        EXPECT_EQ(n, DpiScaleY(n));
        EXPECT_EQ(n, DpiScaleLinearX(n));
    }
    EXPECT_EQ(96, SnappedDpi());
    EXPECT_EQ(660, ThemeConstants().panelWidth);
    EXPECT_EQ(446, ThemeConstants().panelHeight);
}

// The real path: the cache asks the screen DC. (A freshly started process
// reading a configured DPI is tested in theme_dpi_test.cpp, in the runner
// whose tests do not overlap others, because it changes the prefix's DPI.)
TEST_F(ThemeDpi, ReadsTheScreenDeviceCaps)
{
    ResetScreenDpiForTesting();
    EnsureScreenDpi();
    HDC dc = GetDC(nullptr);
    ASSERT_NE(nullptr, dc);
    const int x = GetDeviceCaps(dc, LOGPIXELSX);
    const int y = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(x, ScreenDpiX());
    EXPECT_EQ(y, ScreenDpiY());
    EXPECT_EQ(ScaleStepped(30, x), DpiScaleX(30));
    EXPECT_EQ(SnapDpi(y), SnappedDpi());
}

TEST(ThemePalette, EveryColourHasItsValue)
{
    InitThemePalette();
    const ThemePalette& p = Palette();
    EXPECT_EQ(0xC8C8C8u, p.CaptionText);
    EXPECT_EQ(0x1E1918u, p.WindowBackground);
    EXPECT_EQ(0x1E1918u, p.FrameBorder);
    EXPECT_EQ(0x1E1918u, p.FrameBackground);
    EXPECT_EQ(0x2427B5u, p.CloseHover);
    EXPECT_EQ(0x0E1095u, p.CloseDown);
    EXPECT_EQ(0x493F31u, p.CaptionButtonHover);
    EXPECT_EQ(0x211F1Cu, p.CaptionButtonDown);
    EXPECT_EQ(0xFFFFFFu, p.StrongText);
    EXPECT_EQ(0xBBBAB9u, p.LabelText);
    EXPECT_EQ(0x34302Fu, p.FieldBackground);
    EXPECT_EQ(0x464241u, p.FieldButtonBackground);
    EXPECT_EQ(0x46474Bu, p.ProgressTrack);
    EXPECT_EQ(0xD8A507u, p.ProgressFill);
    EXPECT_EQ(0xD8A507u, p.Accent);
    EXPECT_EQ(0xF4BE17u, p.AccentHover);
    EXPECT_EQ(0xB58A05u, p.AccentDown);
    EXPECT_EQ(0x707070u, p.AccentDisabled);
    EXPECT_EQ(0xFFFFFFu, p.AccentText);
    EXPECT_EQ(0xF0F0F0u, p.AccentDisabledText);
    EXPECT_EQ(0xB28659u, p.LinkText);
    EXPECT_EQ(0x282828u, p.Separator);
    EXPECT_EQ(0xFFFFFFu, p.FocusCue);
    EXPECT_EQ(RGB(181, 39, 36), p.CloseHover); // red is the low byte
    static_assert(sizeof(ThemePalette) == 23 * sizeof(COLORREF), "every colour is checked above");
}

struct FontExpectation
{
    HFONT (*get)();
    const wchar_t* face;
    LONG height;
    LONG weight;
    BYTE underline;
};

void ExpectFont(const FontExpectation& e)
{
    HFONT font = e.get();
    ASSERT_NE(nullptr, font);
    LOGFONTW lf = {};
    ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectW(font, sizeof lf, &lf));
    EXPECT_STREQ(e.face, lf.lfFaceName);
    EXPECT_EQ(e.height, lf.lfHeight);
    EXPECT_EQ(0, lf.lfWidth);
    EXPECT_EQ(0, lf.lfEscapement);
    EXPECT_EQ(0, lf.lfOrientation);
    EXPECT_EQ(e.weight, lf.lfWeight);
    EXPECT_EQ(0, lf.lfItalic);
    EXPECT_EQ(e.underline, lf.lfUnderline);
    EXPECT_EQ(0, lf.lfStrikeOut);
    EXPECT_EQ(1, lf.lfCharSet);
    EXPECT_EQ(3, lf.lfOutPrecision);
    EXPECT_EQ(2, lf.lfClipPrecision);
    EXPECT_EQ(2, lf.lfQuality);
    EXPECT_EQ(0, lf.lfPitchAndFamily);
}

// Line height of a font as GDI lays out text with it.
int CellHeight(HFONT font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return tm.tmHeight;
}

TEST_F(ThemeDpi, SharedFontsAt96)
{
    SetScreenDpiForTesting(96, 96);
    CreateSharedFonts();
    ExpectFont({TextFont, L"Tahoma", 14, 400, 0});
    ExpectFont({LinkFont, L"Tahoma", 14, 400, 1});
    ExpectFont({ButtonFont, L"Tahoma", 18, 400, 0});
    ExpectFont({HeadingFont, L"Arial", 32, 700, 0});
}

TEST_F(ThemeDpi, SharedFontHeightsFollowTheHorizontalSteppedRule)
{
    // X at 144 (factor 1.5) and Y at 192: heights use DpiScaleX.
    SetScreenDpiForTesting(144, 192);
    CreateSharedFonts();
    ExpectFont({TextFont, L"Tahoma", 21, 400, 0});
    ExpectFont({LinkFont, L"Tahoma", 21, 400, 1});
    ExpectFont({ButtonFont, L"Tahoma", 27, 400, 0});
    ExpectFont({HeadingFont, L"Arial", 48, 700, 0});
    // A positive height is the cell height: text laid out with the font is
    // exactly that tall.
    EXPECT_EQ(21, CellHeight(TextFont()));
    EXPECT_EQ(27, CellHeight(ButtonFont()));
    EXPECT_EQ(48, CellHeight(HeadingFont()));
}

TEST_F(ThemeDpi, SharedFontsAreDeletedAndReplaced)
{
    SetScreenDpiForTesting(96, 96);
    CreateSharedFonts();
    const HFONT first[] = {TextFont(), LinkFont(), ButtonFont(), HeadingFont()};
    CreateSharedFonts(); // the earlier fonts must not leak
    for (HFONT font : first)
        EXPECT_EQ(0u, GetObjectType(font));
    const HFONT second[] = {TextFont(), LinkFont(), ButtonFont(), HeadingFont()};
    for (HFONT font : second)
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));
    DeleteSharedFonts();
    EXPECT_EQ(nullptr, TextFont());
    EXPECT_EQ(nullptr, LinkFont());
    EXPECT_EQ(nullptr, ButtonFont());
    EXPECT_EQ(nullptr, HeadingFont());
    for (HFONT font : second)
        EXPECT_EQ(0u, GetObjectType(font));
    DeleteSharedFonts(); // a second call is harmless
}

} // namespace
