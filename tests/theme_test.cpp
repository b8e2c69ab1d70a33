// The Windows side of the theme: the screen DPI as this process reads it, the
// DPI-dependent functions, the palette and the fonts.
#include "controls/Theme.h"

#include "WinTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
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
    EXPECT_EQ(static_cast<COLORREF>(GetSysColor(COLOR_GRAYTEXT)), p.DisabledText);
    EXPECT_EQ(0xFFFFFFu, p.FieldText);
    EXPECT_EQ(0x34302Fu, p.FieldBorder);
    EXPECT_EQ(0xD38A36u, p.FieldActiveBorder);
    EXPECT_EQ(0xD38A36u, p.ListBorder);
    EXPECT_EQ(0xDFD8CEu, p.ListText);
    EXPECT_EQ(0xDFD8CEu, p.ListSelectedText);
    EXPECT_EQ(0x201A14u, p.ListBackground);
    EXPECT_EQ(0x433C33u, p.ListSelectedBackground);
    EXPECT_EQ(0xFFFFFFu, p.ButtonText);
    EXPECT_EQ(static_cast<COLORREF>(CLR_NONE), p.ControlOutline);
    EXPECT_EQ(0xFFFFFFu, p.AccentFocusCue);
    EXPECT_EQ(RGB(181, 39, 36), p.CloseHover); // red is the low byte
    static_assert(sizeof(ThemePalette) == 35 * sizeof(COLORREF), "every colour is checked above");
}

// Puts the system's own answer back behind IsHighContrastOn, the system's high-contrast
// setting as it was, and the palette in the colours that follow from them.
class HighContrastPalette : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (m_changed)
            SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof m_saved, &m_saved, 0);
        SetHighContrastQueryForTesting(nullptr);
        InitThemePalette();
    }

    HIGHCONTRASTW m_saved = {sizeof(HIGHCONTRASTW), 0, nullptr};
    bool m_changed = false;
};

// Every entry in high contrast: the system colour docs/accessibility.md gives it.
TEST_F(HighContrastPalette, TakesEveryColourFromTheSystem)
{
    SetHighContrastQueryForTesting([] { return true; });
    ASSERT_TRUE(IsHighContrastOn());
    InitThemePalette();
    struct Mapping
    {
        const char* name;
        COLORREF ThemePalette::*entry;
        int systemColour;
    };
    const Mapping mappings[] = {
        {"CaptionText", &ThemePalette::CaptionText, COLOR_WINDOWTEXT},
        {"WindowBackground", &ThemePalette::WindowBackground, COLOR_WINDOW},
        {"FrameBorder", &ThemePalette::FrameBorder, COLOR_WINDOWTEXT},
        {"FrameBackground", &ThemePalette::FrameBackground, COLOR_WINDOW},
        {"CloseHover", &ThemePalette::CloseHover, COLOR_HIGHLIGHT},
        {"CloseDown", &ThemePalette::CloseDown, COLOR_HIGHLIGHT},
        {"CaptionButtonHover", &ThemePalette::CaptionButtonHover, COLOR_HIGHLIGHT},
        {"CaptionButtonDown", &ThemePalette::CaptionButtonDown, COLOR_HIGHLIGHT},
        {"StrongText", &ThemePalette::StrongText, COLOR_WINDOWTEXT},
        {"LabelText", &ThemePalette::LabelText, COLOR_WINDOWTEXT},
        {"FieldBackground", &ThemePalette::FieldBackground, COLOR_WINDOW},
        {"FieldButtonBackground", &ThemePalette::FieldButtonBackground, COLOR_BTNFACE},
        {"ProgressTrack", &ThemePalette::ProgressTrack, COLOR_WINDOW},
        {"ProgressFill", &ThemePalette::ProgressFill, COLOR_HIGHLIGHT},
        {"Accent", &ThemePalette::Accent, COLOR_HIGHLIGHT},
        {"AccentHover", &ThemePalette::AccentHover, COLOR_HIGHLIGHT},
        {"AccentDown", &ThemePalette::AccentDown, COLOR_HIGHLIGHT},
        {"AccentDisabled", &ThemePalette::AccentDisabled, COLOR_BTNFACE},
        {"AccentText", &ThemePalette::AccentText, COLOR_HIGHLIGHTTEXT},
        {"AccentDisabledText", &ThemePalette::AccentDisabledText, COLOR_GRAYTEXT},
        {"LinkText", &ThemePalette::LinkText, COLOR_HOTLIGHT},
        {"Separator", &ThemePalette::Separator, COLOR_WINDOWTEXT},
        {"FocusCue", &ThemePalette::FocusCue, COLOR_HIGHLIGHT},
        {"DisabledText", &ThemePalette::DisabledText, COLOR_GRAYTEXT},
        {"FieldText", &ThemePalette::FieldText, COLOR_WINDOWTEXT},
        {"FieldBorder", &ThemePalette::FieldBorder, COLOR_WINDOWTEXT},
        {"FieldActiveBorder", &ThemePalette::FieldActiveBorder, COLOR_HIGHLIGHT},
        {"ListBorder", &ThemePalette::ListBorder, COLOR_WINDOWTEXT},
        {"ListText", &ThemePalette::ListText, COLOR_WINDOWTEXT},
        {"ListSelectedText", &ThemePalette::ListSelectedText, COLOR_HIGHLIGHTTEXT},
        {"ListBackground", &ThemePalette::ListBackground, COLOR_WINDOW},
        {"ListSelectedBackground", &ThemePalette::ListSelectedBackground, COLOR_HIGHLIGHT},
        {"ButtonText", &ThemePalette::ButtonText, COLOR_BTNTEXT},
        {"ControlOutline", &ThemePalette::ControlOutline, COLOR_WINDOWTEXT},
        {"AccentFocusCue", &ThemePalette::AccentFocusCue, COLOR_HIGHLIGHTTEXT},
    };
    static_assert(sizeof mappings / sizeof mappings[0] == sizeof(ThemePalette) / sizeof(COLORREF),
                  "every colour has its system colour above");
    for (const Mapping& m : mappings)
        EXPECT_EQ(static_cast<COLORREF>(GetSysColor(m.systemColour)), Palette().*m.entry) << m.name;

    SetHighContrastQueryForTesting(nullptr);
    InitThemePalette();
    EXPECT_EQ(0x1E1918u, Palette().WindowBackground);
    EXPECT_EQ(static_cast<COLORREF>(CLR_NONE), Palette().ControlOutline);
}

// The real switch. Windows stores the flag and reports it back; Wine 8 refuses to set it
// (ERROR_INVALID_SPI_VALUE) and always reports it off, so there only the reading is checked.
TEST_F(HighContrastPalette, FollowsTheSystemSetting)
{
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof m_saved, &m_saved, 0));
    EXPECT_EQ((m_saved.dwFlags & HCF_HIGHCONTRASTON) != 0, IsHighContrastOn());
    HIGHCONTRASTW on = m_saved;
    on.dwFlags |= HCF_HIGHCONTRASTON;
    SetLastError(0);
    m_changed = SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof on, &on, 0) != FALSE;
    const DWORD error = GetLastError();
    HIGHCONTRASTW now = {sizeof now, 0, nullptr};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof now, &now, 0));
    const bool reported = (now.dwFlags & HCF_HIGHCONTRASTON) != 0;
    RecordProperty("high_contrast_set", m_changed ? "stored" : "refused");
    if (!m_changed)
        std::printf("[ note ] the system refused high contrast (error %lu): only reading it is "
                    "checked\n", error);
    EXPECT_EQ(reported, IsHighContrastOn());
    InitThemePalette();
    EXPECT_EQ(static_cast<COLORREF>(reported ? GetSysColor(COLOR_WINDOW) : 0x1E1918u),
              Palette().WindowBackground);
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
