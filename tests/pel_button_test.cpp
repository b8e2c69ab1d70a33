// The image button and the text button as real child windows of a shown window: click
// cycle, hover, state colours, picture and text placement read back from the screen.
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "controls/PelButton.h"
#include "controls/PelTextButton.h"
#include "framework/Handles.h"
#include "framework/KeyboardCues.h"
#include "res/resource.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <d2d1.h>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr int kButtonId = 1001;
constexpr COLORREF kNormal = RGB(16, 32, 48);
constexpr COLORREF kHover = RGB(64, 80, 96);
constexpr COLORREF kPressed = RGB(112, 128, 144);
constexpr COLORREF kBorder = RGB(200, 170, 20);

void Repaint(HWND hwnd)
{
    ::InvalidateRect(hwnd, nullptr, TRUE);
    ::UpdateWindow(hwnd);
    PumpMessages(10);
}

// Puts the real cursor over (x, y) of a window's client area, as the hover logic checks it.
void MoveCursorInto(HWND hwnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hwnd, &pt);
    ::SetCursorPos(pt.x, pt.y);
}

void MoveCursorAway()
{
    ::SetCursorPos(1200, 1000);
}

class ControlTestBase : public ::testing::Test
{
protected:
    // The theme first: controls take their default colours and radii when constructed.
    ControlTestBase()
    {
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        CreateSharedFonts();
    }
    void SetUp() override
    {
        MoveCursorAway();
        ASSERT_TRUE(host.Create());
    }
    void TearDown() override
    {
        host.DestroyWindow();
        PumpMessages(10);
        ResetScreenDpiForTesting();
    }

    // Posts button messages at client points and pumps through the pre-translating loop.
    void Post(HWND hwnd, UINT msg, int x, int y)
    {
        ::PostMessageW(hwnd, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }
    void Pump(DWORD ms = 60) { PumpPreTranslated(host.m_hWnd, ms); }

    CControlHost host;
};

class PelButtonTest : public ControlTestBase
{
protected:
    void SetUp() override
    {
        ControlTestBase::SetUp();
        HWND item = host.AddChild(L"BUTTON", L"", BS_PUSHBUTTON, kButtonId, 20, 20, kWidth, kHeight);
        ASSERT_NE(nullptr, item);
        ASSERT_TRUE(button.SubclassWindow(item));
        button.SetColorsAndText(kNormal, kHover, kPressed, kBorder, L"");
        Repaint(button);
    }

    void Hover()
    {
        MoveCursorInto(button, kWidth / 2, kHeight / 2);
        button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(kWidth / 2, kHeight / 2));
        ASSERT_TRUE(PumpUntil([&] { return button.IsHover(); }, 2000));
        Repaint(button);
    }

    static constexpr int kWidth = 41;
    static constexpr int kHeight = 31;
    CPelButton button;
};

TEST_F(PelButtonTest, SubclassingMakesTheItemOwnerDrawnWhateverItsType)
{
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & BS_TYPEMASK);
    // OR-ing the owner-draw type into a radio button's type would give 0x0F, no button type.
    CPelButton radio;
    ASSERT_TRUE(radio.SubclassWindow(host.AddChild(L"BUTTON", L"", BS_RADIOBUTTON, 1002, 80, 20, 30, 30)));
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), radio.GetStyle() & BS_TYPEMASK);
}

TEST_F(PelButtonTest, ClickCycle)
{
    // A click inside posts exactly one BN_CLICKED (the system button's own notification
    // must not come on top), and leaves nothing pressed or captured.
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Pump(30);
    EXPECT_TRUE(button.IsPressed());
    EXPECT_EQ(button.m_hWnd, ::GetCapture());
    Post(button, WM_LBUTTONUP, 6, 6);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    ASSERT_FALSE(host.commands.empty());
    EXPECT_EQ(button.m_hWnd, host.commands.back().from);
    EXPECT_FALSE(button.IsPressed());
    EXPECT_FALSE(button.IsCaptured());
    EXPECT_EQ(nullptr, ::GetCapture());

    // Pressed inside, released outside: no click, pressed cleared.
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Post(button, WM_LBUTTONUP, kWidth + 10, 5);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    EXPECT_FALSE(button.IsPressed());
    EXPECT_EQ(nullptr, ::GetCapture());
}

TEST_F(PelButtonTest, DoubleClickCountsAsTwoClicksAndTakesTheFocus)
{
    ::SetFocus(host.m_hWnd);
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Post(button, WM_LBUTTONUP, 5, 5);
    Post(button, WM_LBUTTONDBLCLK, 5, 5);
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
    EXPECT_EQ(2, host.CountCommands(kButtonId, BN_CLICKED));
    EXPECT_EQ(0, host.CountCommands(kButtonId, BN_DOUBLECLICKED));
    EXPECT_EQ(button.m_hWnd, ::GetFocus());
}

TEST_F(PelButtonTest, CaptureTakenAwayEndsThePress)
{
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Pump(30);
    ASSERT_TRUE(button.IsPressed());
    ::SetCapture(host.m_hWnd); // e.g. a menu or another control grabbing the mouse
    EXPECT_FALSE(button.IsPressed());
    EXPECT_FALSE(button.IsCaptured());
    ::ReleaseCapture();
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
    EXPECT_EQ(0, host.CountCommands(kButtonId, BN_CLICKED));
    // The next press takes the capture again.
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Pump(30);
    EXPECT_EQ(button.m_hWnd, ::GetCapture());
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
}

// Keys reach a focused control as the system delivers them: posted to it, through the loop.
void PressKey(HWND hwnd, WPARAM key)
{
    ::PostMessageW(hwnd, WM_KEYDOWN, key, 1);
    ::PostMessageW(hwnd, WM_KEYUP, key, 0xC0000001);
}

bool WantsEnter(HWND hwnd)
{
    MSG enter = {};
    enter.hwnd = hwnd;
    enter.message = WM_KEYDOWN;
    enter.wParam = VK_RETURN;
    return (::SendMessageW(hwnd, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
            DLGC_WANTMESSAGE) != 0;
}

TEST_F(PelButtonTest, FocusCueOnlyAfterKeyboardUseAndSpaceOrEnterPress)
{
    const COLORREF cue = Palette().FocusCue;
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
    ASSERT_EQ(button.m_hWnd, ::GetFocus());
    Repaint(button);
    EXPECT_TRUE(CaptureClient(button).AllColour(RECT{0, 0, kWidth, kHeight}, kNormal))
        << "the mouse shows no focus cue";

    ShowFocusCues(host.m_hWnd);
    Repaint(button);
    CapturedImage shot = CaptureClient(button);
    // Dotted along the edge, the inside untouched.
    EXPECT_EQ(cue, shot.Pixel(0, 0));
    EXPECT_EQ(kNormal, shot.Pixel(1, 0));
    EXPECT_EQ(cue, shot.Pixel(2, 0));
    EXPECT_EQ(cue, shot.Pixel(0, 2));
    EXPECT_EQ(cue, shot.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, kWidth - 1, kHeight - 1}, kNormal));

    // Space presses every kind; Enter a push button or a toggle, while a check box leaves it
    // to the dialog's default button.
    PressKey(button, VK_SPACE);
    Pump();
    EXPECT_EQ(2, host.CountCommands(kButtonId, BN_CLICKED));
    EXPECT_TRUE(WantsEnter(button));
    PressKey(button, VK_RETURN);
    Pump();
    EXPECT_EQ(3, host.CountCommands(kButtonId, BN_CLICKED));
    button.SetKind(CPelButton::Kind::Toggle);
    EXPECT_TRUE(WantsEnter(button));
    button.SetKind(CPelButton::Kind::CheckBox);
    EXPECT_FALSE(WantsEnter(button));
    PressKey(button, VK_RETURN);
    PressKey(button, VK_SPACE);
    Pump();
    EXPECT_EQ(4, host.CountCommands(kButtonId, BN_CLICKED));

    ::SetFocus(host.m_hWnd);
    Repaint(button);
    EXPECT_TRUE(CaptureClient(button).AllColour(RECT{0, 0, kWidth, kHeight}, kNormal));
}

TEST_F(PelButtonTest, IdleDrawsOnlyTheBackground)
{
    CapturedImage shot = CaptureClient(button);
    ASSERT_EQ(kWidth, shot.Width());
    EXPECT_TRUE(shot.AllColour(RECT{0, 0, kWidth, kHeight}, kNormal));
}

TEST_F(PelButtonTest, HoverDrawsTheFrameAndLeaveRemovesIt)
{
    Hover();
    EXPECT_TRUE(button.IsTracking());
    CapturedImage shot = CaptureClient(button);
    EXPECT_EQ(kBorder, shot.Pixel(0, 0));
    EXPECT_EQ(kBorder, shot.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(kBorder, shot.Pixel(kWidth / 2, 0));
    EXPECT_EQ(kBorder, shot.Pixel(0, kHeight / 2));
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, kWidth - 1, kHeight - 1}, kHover));

    MoveCursorAway();
    ASSERT_TRUE(PumpUntil([&] { return !button.IsHover(); }, 2000));
    EXPECT_FALSE(button.IsTracking());
    Repaint(button);
    EXPECT_TRUE(CaptureClient(button).AllColour(RECT{0, 0, kWidth, kHeight}, kNormal));
}

TEST_F(PelButtonTest, PressedColourWinsOverHover)
{
    Hover();
    Post(button, WM_LBUTTONDOWN, 5, 5);
    Pump(30);
    Repaint(button);
    CapturedImage shot = CaptureClient(button);
    EXPECT_EQ(kBorder, shot.Pixel(0, 0));
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, kWidth - 1, kHeight - 1}, kPressed));
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
}

TEST_F(PelButtonTest, PictureIsBlendedCentredAndDroppedBySetColorsAndText)
{
    ASSERT_NE(nullptr, InstallerModule());
    auto picture = LoadPngResource(IDB_CHECK_TICKED_100, InstallerModule());
    ASSERT_TRUE(picture && picture->HasBitmap());
    ASSERT_EQ(16, picture->Width());
    button.SetButtonImage(*picture);
    EXPECT_EQ(1, button.GetFrameCount());
    Repaint(button);
    CapturedImage shot = CaptureClient(button);

    // The same blend drawn by the test at the centred place: (41 - 16) / 2, (31 - 16) / 2.
    CMemoryDC dc(nullptr);
    CBitmapHandle target(::CreateBitmap(kWidth, kHeight, 1, 32, nullptr));
    CapturedImage expected;
    {
        CSelectObject selectTarget(dc, target.Get());
        CBrushHandle brush(::CreateSolidBrush(kNormal));
        RECT all = {0, 0, kWidth, kHeight};
        ::FillRect(dc, &all, brush.Get());
        CMemoryDC source(dc.Get());
        CSelectObject selectSource(source, picture->Bitmap());
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc, 12, 7, 16, 16, source, 0, 0, 16, 16, blend);
        expected = CaptureDc(dc, kWidth, kHeight);
    }
    int drawn = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            EXPECT_TRUE(NearColour(expected.Pixel(x, y), shot.Pixel(x, y), 1))
                << "at " << x << "," << y;
            if (expected.Pixel(x, y) != kNormal)
                ++drawn;
        }
    EXPECT_GT(drawn, 20); // the picture really shows

    button.SetColorsAndText(kNormal, kHover, kPressed, kBorder, L"");
    EXPECT_EQ(0, button.GetFrameCount());
    EXPECT_EQ(nullptr, button.GetImageBitmap());
    Repaint(button);
    EXPECT_TRUE(CaptureClient(button).AllColour(RECT{0, 0, kWidth, kHeight}, kNormal));
}

TEST_F(PelButtonTest, PictureWithoutBitmapCountsAsNone)
{
    CImageWrapper undecodable;
    button.SetButtonImage(undecodable);
    EXPECT_EQ(0, button.GetFrameCount());
    Repaint(button);
    EXPECT_TRUE(CaptureClient(button).AllColour(RECT{0, 0, kWidth, kHeight}, kNormal));
}

TEST_F(PelButtonTest, CaptionIsDrawnCentredInStrongText)
{
    CPelButton wide;
    ASSERT_TRUE(wide.SubclassWindow(host.AddChild(L"BUTTON", L"", BS_PUSHBUTTON, 1003, 20, 80, 160, 40)));
    wide.SetColorsAndText(kNormal, kHover, kPressed, kBorder, L"Browse");
    Repaint(wide);
    CapturedImage shot = CaptureClient(wide);
    EXPECT_GT(shot.CountColour(RECT{0, 0, 160, 40}, Palette().StrongText), 5);
    RECT box = BoxOfOtherPixels(shot, RECT{0, 0, 160, 40}, kNormal);
    ASSERT_LT(box.left, box.right);
    EXPECT_NEAR(80, (box.left + box.right) / 2, 3);
    EXPECT_NEAR(20, (box.top + box.bottom) / 2, 4);
}

TEST_F(PelButtonTest, RepaintingDoesNotLeakGdiObjects)
{
    auto picture = LoadPngResource(IDB_CHECK_TICKED_100, InstallerModule());
    ASSERT_TRUE(picture);
    button.SetColorsAndText(kNormal, kHover, kPressed, kBorder, L"A");
    Hover();
    Post(button, WM_LBUTTONDOWN, 5, 5); // frame, pen and brush drawn every time
    Pump(30);
    button.SetButtonImage(*picture);
    Repaint(button);

    int before = CountLiveGdiObjects();
    {
        std::vector<CBrushHandle> probe;
        for (int i = 0; i < 50; ++i)
            probe.emplace_back(::CreateSolidBrush(RGB(i, 0, 0)));
        ASSERT_GE(CountLiveGdiObjects(), before + 50); // the count sees new objects
    }
    for (int i = 0; i < 500; ++i) {
        ::InvalidateRect(button, nullptr, FALSE);
        ::UpdateWindow(button);
    }
    EXPECT_LE(CountLiveGdiObjects(), before + 2);
    Post(button, WM_LBUTTONUP, 5, 5);
    Pump();
}

// ---------------------------------------------------------------------------------------

class PelTextButtonTest : public ControlTestBase
{
protected:
    void SetUp() override
    {
        ControlTestBase::SetUp();
        Make(button, L"", 160, 50);
    }

    void Make(CPelTextButton& b, const wchar_t* text, int width, int height, int y = 20)
    {
        HWND item = host.AddChild(L"BUTTON", L"", BS_PUSHBUTTON, kButtonId, 20, y, width, height);
        ASSERT_NE(nullptr, item);
        ASSERT_TRUE(b.SubclassWindow(item));
        b.SetButtonText(text);
        Repaint(b);
    }

    void Hover(CPelTextButton& b)
    {
        MoveCursorInto(b, 20, 20);
        b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
        PumpMessages(20);
    }

    CPelTextButton button;
};

TEST_F(PelTextButtonTest, StartsWithTheThemeColoursAndRadii)
{
    EXPECT_EQ(Palette().Accent, button.StateColor());
    EXPECT_EQ(Palette().AccentText, button.StateTextColor());
    EXPECT_FLOAT_EQ(4.0f, button.GetCornerRadiusX());
    EXPECT_FLOAT_EQ(4.0f, button.GetCornerRadiusY());
    EXPECT_TRUE(button.IsButtonEnabled());
}

TEST_F(PelTextButtonTest, DrawsARoundedAccentShapeOnTheBackground)
{
    EXPECT_TRUE(button.HasDeviceResources());
    CapturedImage shot = CaptureClient(button);
    EXPECT_TRUE(NearColour(Palette().Accent, shot.Pixel(80, 25)));
    EXPECT_TRUE(NearColour(Palette().Accent, shot.Pixel(80, 0)));
    EXPECT_TRUE(NearColour(Palette().Accent, shot.Pixel(0, 25)));
    // The corner pixel lies outside a 4-px rounding.
    EXPECT_TRUE(NearColour(Palette().WindowBackground, shot.Pixel(0, 0)));
    EXPECT_TRUE(NearColour(Palette().WindowBackground, shot.Pixel(159, 49)));
}

TEST_F(PelTextButtonTest, StateColoursFollowDisabledHoverPressedNormal)
{
    auto centre = [&] { Repaint(button); return CaptureClient(button).Pixel(80, 4); };
    Post(button, WM_LBUTTONDOWN, 100, 40); // pressed, mouse not over it
    Pump(30);
    EXPECT_EQ(Palette().AccentDown, button.StateColor());
    EXPECT_TRUE(NearColour(Palette().AccentDown, centre()));

    Hover(button); // held down under the mouse shows hover
    ASSERT_TRUE(button.IsHover());
    EXPECT_TRUE(NearColour(Palette().AccentHover, centre()));
    Post(button, WM_LBUTTONUP, 100, 40);
    Pump();
    EXPECT_TRUE(NearColour(Palette().AccentHover, centre()));

    MoveCursorAway();
    ASSERT_TRUE(PumpUntil([&] { return !button.IsHover(); }, 2000));
    EXPECT_FALSE(button.IsTracking());
    EXPECT_TRUE(NearColour(Palette().Accent, centre()));
}

TEST_F(PelTextButtonTest, ClickCycle)
{
    Post(button, WM_LBUTTONDOWN, 10, 10);
    Post(button, WM_LBUTTONUP, 10, 10);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    Post(button, WM_LBUTTONDOWN, 10, 10);
    Post(button, WM_LBUTTONUP, 10, 200); // released outside
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    EXPECT_FALSE(button.IsPressed());
    EXPECT_EQ(nullptr, ::GetCapture());
    Post(button, WM_LBUTTONDOWN, 10, 10);
    Post(button, WM_LBUTTONUP, 10, 10);
    Post(button, WM_LBUTTONDBLCLK, 10, 10);
    Post(button, WM_LBUTTONUP, 10, 10);
    Pump();
    EXPECT_EQ(3, host.CountCommands(kButtonId, BN_CLICKED));
}

TEST_F(PelTextButtonTest, DisabledIgnoresClicksAndHoverAndIsGrey)
{
    CPelTextButton install;
    Make(install, L"Install", 160, 50, 100);
    install.SetButtonEnabled(false);
    EXPECT_FALSE(install.IsButtonEnabled());
    Post(install, WM_LBUTTONDOWN, 10, 10);
    Post(install, WM_LBUTTONUP, 10, 10);
    Post(install, WM_LBUTTONDBLCLK, 10, 10);
    Post(install, WM_LBUTTONUP, 10, 10);
    Pump();
    // Sent straight to the window, past any pre-translation, it still does not click.
    install.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    install.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    Pump();
    EXPECT_EQ(0, host.CountCommands(kButtonId, BN_CLICKED));
    EXPECT_FALSE(install.IsPressed());
    EXPECT_EQ(nullptr, ::GetCapture());

    Hover(install);
    EXPECT_FALSE(install.IsHover());
    EXPECT_FALSE(install.IsTracking());

    Repaint(install);
    CapturedImage shot = CaptureClient(install);
    EXPECT_TRUE(NearColour(Palette().AccentDisabled, shot.Pixel(80, 3)));
    EXPECT_TRUE(NearColour(Palette().AccentDisabled, shot.Pixel(3, 25)));
    EXPECT_GT(shot.CountColour(RECT{0, 0, 160, 50}, Palette().AccentDisabledText), 3);
    EXPECT_EQ(0, shot.CountColour(RECT{0, 0, 160, 50}, Palette().Accent));

    // Enabled again it clicks, in the accent colour.
    install.SetButtonEnabled(true);
    Post(install, WM_LBUTTONDOWN, 10, 10);
    Post(install, WM_LBUTTONUP, 10, 10);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    Repaint(install);
    EXPECT_TRUE(NearColour(Palette().Accent, CaptureClient(install).Pixel(80, 3)));
}

TEST_F(PelTextButtonTest, DisabledWindowAndFocusCueOnlyAfterKeyboardUse)
{
    // Disabled, the window is too: the dialog manager skips it and no key reaches it.
    button.SetButtonEnabled(false);
    EXPECT_FALSE(button.IsWindowEnabled());
    button.SetButtonEnabled(true);
    EXPECT_TRUE(button.IsWindowEnabled());

    const COLORREF cue = Palette().AccentFocusCue;
    ::SetFocus(button);
    PumpMessages(20);
    Repaint(button);
    EXPECT_TRUE(NearColour(Palette().Accent, CaptureClient(button).Pixel(3, 3)));
    ShowFocusCues(host.m_hWnd);
    Repaint(button);
    CapturedImage shot = CaptureClient(button);
    // Three pixels in, dotted, on the accent shape.
    EXPECT_EQ(cue, shot.Pixel(3, 3));
    EXPECT_TRUE(NearColour(Palette().Accent, shot.Pixel(4, 3)));
    EXPECT_EQ(cue, shot.Pixel(5, 3));
    EXPECT_EQ(cue, shot.Pixel(3, 25));
    EXPECT_TRUE(NearColour(Palette().Accent, shot.Pixel(2, 3)));

    // Space presses it.
    PressKey(button, VK_SPACE);
    Pump();
    EXPECT_EQ(1, host.CountCommands(kButtonId, BN_CLICKED));
    ::SetFocus(host.m_hWnd);
    Repaint(button);
    EXPECT_TRUE(NearColour(Palette().Accent, CaptureClient(button).Pixel(3, 3)));
}

TEST_F(PelTextButtonTest, SetButtonEnabledClearsTransientStates)
{
    Post(button, WM_LBUTTONDOWN, 10, 10);
    Pump(30);
    Hover(button);
    ASSERT_TRUE(button.IsPressed());
    ASSERT_TRUE(button.IsHover());
    button.SetButtonEnabled(true); // unchanged flag: states are still cleared
    EXPECT_FALSE(button.IsPressed());
    EXPECT_FALSE(button.IsHover());
    EXPECT_FALSE(button.IsCaptured());
    EXPECT_FALSE(button.IsTracking());
    EXPECT_EQ(nullptr, ::GetCapture());
    MoveCursorAway();
    Pump();
}

TEST_F(PelTextButtonTest, RadiiAreClampedToHalfTheSize)
{
    EXPECT_FLOAT_EQ(3.0f, CPelTextButton::ClampRadius(4.0f, 6.0f));
    EXPECT_FLOAT_EQ(4.0f, CPelTextButton::ClampRadius(4.0f, 60.0f));
    EXPECT_FLOAT_EQ(2.5f, CPelTextButton::ClampRadius(40.0f, 5.0f));

    // A 60 x 20 button asked for 40-px corners becomes a capsule with 10-px ends.
    CPelTextButton small;
    Make(small, L"", 60, 20, 100);
    small.SetCornerRadius(40.0f, 40.0f);
    float rx = 0.0f;
    float ry = 0.0f;
    small.GetShapeRadii(60.0f, 20.0f, &rx, &ry);
    EXPECT_FLOAT_EQ(30.0f, rx);
    EXPECT_FLOAT_EQ(10.0f, ry);
    button.GetShapeRadii(160.0f, 50.0f, &rx, &ry);
    EXPECT_FLOAT_EQ(4.0f, rx);
    EXPECT_FLOAT_EQ(4.0f, ry);
    // Wine's Direct2D also clamps radii on its own, so there the pixels below hold either
    // way; they show the capsule shape that the clamped radii must give.
    Repaint(small);
    CapturedImage shot = CaptureClient(small);
    COLORREF bg = Palette().WindowBackground;
    COLORREF shape = Palette().Accent;
    EXPECT_TRUE(NearColour(bg, shot.Pixel(1, 1), 8));
    EXPECT_TRUE(NearColour(bg, shot.Pixel(58, 18), 8));
    EXPECT_TRUE(NearColour(shape, shot.Pixel(1, 10), 40));  // the round ends reach the sides
    EXPECT_TRUE(NearColour(shape, shot.Pixel(58, 10), 40));
    EXPECT_TRUE(NearColour(shape, shot.Pixel(30, 0), 40));  // the straight top edge
    EXPECT_TRUE(NearColour(shape, shot.Pixel(30, 19), 40));
    EXPECT_TRUE(NearColour(bg, shot.Pixel(3, 3), 20));      // outside the end circle
}

TEST_F(PelTextButtonTest, TextIsCentredAndWrapsAtWholeWords)
{
    button.SetButtonText(L"Install");
    Repaint(button);
    CapturedImage one = CaptureClient(button);
    // Inside the rounded corners, where only the shape and the text are.
    RECT oneLine = BoxOfOtherPixels(one, RECT{4, 4, 156, 46}, Palette().Accent, 60);
    ASSERT_LT(oneLine.left, oneLine.right) << "no text drawn (is Tahoma registered?)";
    EXPECT_GT(one.CountColour(RECT{0, 0, 160, 50}, Palette().AccentText), 3);
    EXPECT_NEAR(80, (oneLine.left + oneLine.right) / 2.0, 3.0);
    EXPECT_NEAR(25, (oneLine.top + oneLine.bottom) / 2.0, 3.0);

    CPelTextButton narrow;
    Make(narrow, L"Install everything", 90, 70, 100);
    CapturedImage two = CaptureClient(narrow);
    RECT inner = {3, 3, 87, 67};
    RECT block = BoxOfOtherPixels(two, inner, Palette().Accent, 60);
    ASSERT_LT(block.left, block.right);
    EXPECT_GT(block.bottom - block.top, (oneLine.bottom - oneLine.top) * 8 / 5); // two lines
    EXPECT_NEAR(45, (block.left + block.right) / 2.0, 4.0);
    EXPECT_NEAR(35, (block.top + block.bottom) / 2.0, 4.0);
    // Whole words: some text row in the middle of the block holds no ink (the line gap).
    bool gap = false;
    for (int y = block.top + 2; y < block.bottom - 2 && !gap; ++y) {
        RECT row = {block.left, y, block.right, y + 1};
        RECT ink = BoxOfOtherPixels(two, row, Palette().Accent, 60);
        gap = ink.left >= ink.right;
    }
    EXPECT_TRUE(gap);
}

TEST_F(PelTextButtonTest, LostRenderTargetIsRebuiltOnTheNextPaint)
{
    ASSERT_TRUE(button.HasDeviceResources());
    button.OnEndDraw(S_OK);
    EXPECT_TRUE(button.HasDeviceResources());
    button.OnEndDraw(D2DERR_RECREATE_TARGET);
    EXPECT_FALSE(button.HasDeviceResources());
    Repaint(button);
    EXPECT_TRUE(button.HasDeviceResources());
    EXPECT_TRUE(NearColour(Palette().Accent, CaptureClient(button).Pixel(80, 25)));
}

TEST_F(PelTextButtonTest, RepaintingDoesNotLeakGdiObjects)
{
    button.SetButtonText(L"Install now");
    Repaint(button);
    int before = CountLiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        ::InvalidateRect(button, nullptr, FALSE);
        ::UpdateWindow(button);
    }
    EXPECT_LE(CountLiveGdiObjects(), before + 2);
}

} // namespace
