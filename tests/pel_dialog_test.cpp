#include "controls/PelDialog.h"

#include "controls/Theme.h"
#include "CaptureTestSupport.h"
#include "DialogTemplateWords.h"
#include "GdiTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

using testing_support::CapturedImage;
using testing_support::CaptureWindow;
using testing_support::InstallerExePath;
using testing_support::PumpMessages;

namespace {

// The installer's resources hold the caption images; opened as data only.
HMODULE Installer()
{
    static CModuleHandle module(::LoadLibraryExW(
        InstallerExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

// An in-memory template: a captioned popup as the installer's dialogs are, no controls.
class CFrameTemplate : public testing_support::CTemplateWords
{
public:
    CFrameTemplate()
    {
        Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT);
        Dword(0);
        Word(0); // no controls
        Word(0), Word(0), Word(200), Word(120);
        Word(0); // no menu
        Word(0); // default class
        Text(L"Frame test");
        Word(8);
        Text(L"MS Shell Dlg");
    }
};

// The frame under test; records the system commands it sends and the layout hook's calls.
class CFrameDialog : public CPelDialog
{
public:
    // The images come from the installer unless another module is named (this runner's own
    // has no pictures).
    explicit CFrameDialog(HMODULE images = Installer()) : CPelDialog(0)
    {
        InitModalIndirect(m_template.Get());
        SetImageModule(images);
    }

    std::vector<WPARAM> commands;
    int sizedCalls = 0;
    RECT sizedClient = {};

protected:
    void OnClientAreaSized(const RECT& client) override
    {
        ++sizedCalls;
        sizedClient = client;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_SYSCOMMAND)
            commands.push_back(wParam & 0xFFF0);
        return CPelDialog::WindowProc(msg, wParam, lParam);
    }

private:
    CFrameTemplate m_template;
};

constexpr int kLeft = 100;
constexpr int kTop = 100;
constexpr int kWidth = 420;
constexpr int kHeight = 300;

class PelDialogTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, Installer());
        SetScreenDpiForTesting(GetParam(), GetParam());
        InitThemePalette();
        ::SetCursorPos(0, 0);
        m_dialog.reset(new CFrameDialog);
        ASSERT_TRUE(m_dialog->Create(nullptr));
        ::SetWindowPos(Hwnd(), HWND_TOPMOST, kLeft, kTop, kWidth, kHeight, SWP_SHOWWINDOW);
        ::SetForegroundWindow(Hwnd());
        PumpMessages(100);
        m_dialog->RepaintFrame();
    }
    void TearDown() override
    {
        if (m_dialog && m_dialog->m_hWnd)
            m_dialog->DestroyWindow();
        m_dialog.reset();
        ResetScreenDpiForTesting();
    }

    HWND Hwnd() const { return m_dialog->m_hWnd; }
    const CaptionButton& Button(int id) const { return m_dialog->CaptionButtons()[id]; }
    static int X(int n) { return DpiScaleX(n); }
    static int Y(int n) { return DpiScaleY(n); }

    // A window-relative point as the screen position non-client messages carry.
    LPARAM Screen(POINT p) const { return testing_support::ScreenPointOfWindow(Hwnd(), p.x, p.y); }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    // A point on the caption band away from the buttons.
    POINT CaptionPoint() const { return POINT{X(60), Y(10)}; }

    // What the mouse does: the real cursor goes there too, so that leave tracking sees the
    // pointer over the window.
    void MoveTo(POINT p, WPARAM hit = HTCAPTION)
    {
        ::SetCursorPos(kLeft + p.x, kTop + p.y);
        m_dialog->SendMessage(WM_NCMOUSEMOVE, hit, Screen(p));
    }
    void Press(POINT p, WPARAM hit) { m_dialog->SendMessage(WM_NCLBUTTONDOWN, hit, Screen(p)); }
    void Release(POINT p, WPARAM hit) { m_dialog->SendMessage(WM_NCLBUTTONUP, hit, Screen(p)); }

    // A pixel of the button's background away from its image.
    COLORREF ButtonCorner(const CapturedImage& image, int id) const
    {
        const RECT& r = Button(id).buttonRect;
        return image.Pixel(r.left + 1, r.top + 1);
    }

    std::unique_ptr<CFrameDialog> m_dialog;
};

TEST_P(PelDialogTest, CloseThenMinimizeFromTheRightOneScaledPixelBelowTheTop)
{
    RECT window = {};
    ::GetWindowRect(Hwnd(), &window);
    int w = window.right - window.left;
    const RECT& close = Button(kCaptionClose).buttonRect;
    const RECT& minimize = Button(kCaptionMinimize).buttonRect;
    EXPECT_EQ(w - X(1), close.right);
    EXPECT_EQ(X(30), close.right - close.left);
    EXPECT_EQ(Y(1), close.top);
    EXPECT_EQ(Y(30), close.bottom - close.top);
    EXPECT_EQ(close.left, minimize.right);
    EXPECT_EQ(X(30), minimize.right - minimize.left);
    EXPECT_EQ(Y(1), minimize.top);
    for (int id : {kCaptionMaximize, kCaptionRestore})
        EXPECT_TRUE(::IsRectEmpty(&Button(id).buttonRect)) << Button(id).name.size();
    // Maximize counts as visible in a window that is not maximised, but its empty rect keeps
    // it undrawn and unhit; Restore is hidden.
    EXPECT_FALSE(Button(kCaptionRestore).visible);
    EXPECT_EQ(L"Close", Button(kCaptionClose).name);
    EXPECT_EQ(L"Minimize", Button(kCaptionMinimize).name);
    // The images of this display scale: 16, 24 px at 96, 144 dpi.
    EXPECT_EQ(GetParam() * 16 / 96, Button(kCaptionClose).imageWidth);

    // Both glyphs are drawn: pixels other than the frame colour inside their image rects,
    // frame colour around them.
    CapturedImage image = CaptureWindow(Hwnd());
    ASSERT_FALSE(image.Empty());
    for (int id : {kCaptionClose, kCaptionMinimize}) {
        const RECT& r = Button(id).imageRect;
        int area = (r.right - r.left) * (r.bottom - r.top);
        EXPECT_LT(image.CountColour(r, Palette().FrameBackground), area) << id;
        EXPECT_EQ(Palette().FrameBackground, ButtonCorner(image, id)) << id;
    }
    // The emptied Maximize leaves no trace where its rect was moved to (the left edge of
    // Close): the band of Close above its own glyph is plain frame colour.
    RECT band = {close.left, close.top, close.right, Button(kCaptionClose).imageRect.top};
    EXPECT_TRUE(image.AllColour(band, Palette().FrameBackground));
}

TEST_P(PelDialogTest, ClientIsInsetByCaptionAndBorder)
{
    RECT window = {};
    RECT client = {};
    POINT origin = {0, 0};
    ::GetWindowRect(Hwnd(), &window);
    ::GetClientRect(Hwnd(), &client);
    ::ClientToScreen(Hwnd(), &origin);
    EXPECT_EQ(X(1), origin.x - window.left);
    EXPECT_EQ(Y(28) + Y(1), origin.y - window.top);
    EXPECT_EQ(kWidth - 2 * X(1), client.right);
    EXPECT_EQ(kHeight - Y(28) - Y(1) - Y(1), client.bottom);
    RECT insets = CPelDialog::FrameInsets(false);
    EXPECT_EQ(Y(28) + Y(1), insets.top);

    // Border and caption in the frame colours, client in the window background.
    CapturedImage image = CaptureWindow(Hwnd());
    ASSERT_FALSE(image.Empty());
    EXPECT_EQ(Palette().FrameBorder, image.Pixel(0, kHeight / 2));
    EXPECT_EQ(Palette().FrameBorder, image.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(Palette().FrameBackground, image.Pixel(X(40), Y(15)));
    EXPECT_EQ(Palette().WindowBackground, image.Pixel(kWidth / 2, kHeight / 2));
}

TEST_P(PelDialogTest, HighlightFollowsTheMouseAndClearsOnTheCaption)
{
    MoveTo(Centre(Button(kCaptionClose).buttonRect), HTCLOSE);
    EXPECT_TRUE(Button(kCaptionClose).hot);
    EXPECT_TRUE(Button(kCaptionClose).hover);
    CapturedImage onClose = CaptureWindow(Hwnd());
    EXPECT_EQ(Palette().CloseHover, ButtonCorner(onClose, kCaptionClose));
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(onClose, kCaptionMinimize));

    MoveTo(Centre(Button(kCaptionMinimize).buttonRect), HTMINBUTTON);
    EXPECT_FALSE(Button(kCaptionClose).hot);
    EXPECT_TRUE(Button(kCaptionMinimize).hot);
    CapturedImage onMinimize = CaptureWindow(Hwnd());
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(onMinimize, kCaptionClose));
    EXPECT_EQ(Palette().CaptionButtonHover, ButtonCorner(onMinimize, kCaptionMinimize));

    MoveTo(CaptionPoint());
    EXPECT_EQ(nullptr, HotCaptionButton(m_dialog->CaptionButtons()));
    CapturedImage onCaption = CaptureWindow(Hwnd());
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(onCaption, kCaptionClose));
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(onCaption, kCaptionMinimize));
}

TEST_P(PelDialogTest, PressOnCloseReleasedElsewhereSendsNothing)
{
    POINT close = Centre(Button(kCaptionClose).buttonRect);
    MoveTo(close, HTCLOSE);
    Press(close, HTCLOSE);
    EXPECT_TRUE(Button(kCaptionClose).pressed);
    EXPECT_TRUE(m_dialog->IsButtonHeld());
    EXPECT_EQ(Palette().CloseDown, ButtonCorner(CaptureWindow(Hwnd()), kCaptionClose));

    Release(CaptionPoint(), HTCAPTION);
    EXPECT_TRUE(m_dialog->commands.empty());
    EXPECT_FALSE(Button(kCaptionClose).pressed);
    EXPECT_FALSE(Button(kCaptionClose).hot);
    EXPECT_FALSE(m_dialog->IsButtonHeld());
    EXPECT_TRUE(::IsWindowVisible(Hwnd()));
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(CaptureWindow(Hwnd()), kCaptionClose));
    EXPECT_EQ(nullptr, ::GetCapture());

    // The press holds the mouse as a push button's does: released outside the window (which
    // then sees a client-area release) or robbed of the capture, it ends undone and drawn
    // normal again.
    for (bool releasedOutside : {true, false}) {
        MoveTo(close, HTCLOSE);
        Press(close, HTCLOSE);
        EXPECT_EQ(Hwnd(), ::GetCapture());
        if (releasedOutside)
            m_dialog->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(kWidth + 40, kHeight / 2));
        else
            ::ReleaseCapture();
        EXPECT_FALSE(Button(kCaptionClose).pressed) << releasedOutside;
        EXPECT_FALSE(m_dialog->IsButtonHeld()) << releasedOutside;
        EXPECT_EQ(nullptr, ::GetCapture());
        EXPECT_EQ(Palette().FrameBackground, ButtonCorner(CaptureWindow(Hwnd()), kCaptionClose))
            << releasedOutside;
    }
    EXPECT_TRUE(m_dialog->commands.empty());
    EXPECT_TRUE(::IsWindowVisible(Hwnd()));
}

TEST_P(PelDialogTest, PressOnCloseMoveToMinimizeReleaseMinimises)
{
    POINT close = Centre(Button(kCaptionClose).buttonRect);
    POINT minimize = Centre(Button(kCaptionMinimize).buttonRect);
    MoveTo(close, HTCLOSE);
    Press(close, HTCLOSE);
    MoveTo(minimize, HTMINBUTTON);
    EXPECT_TRUE(Button(kCaptionMinimize).hot);
    EXPECT_FALSE(Button(kCaptionClose).pressed);
    Release(minimize, HTMINBUTTON);
    ASSERT_EQ(1u, m_dialog->commands.size());
    EXPECT_EQ(static_cast<WPARAM>(SC_MINIMIZE), m_dialog->commands[0]);
    EXPECT_TRUE(::IsIconic(Hwnd()));
}

TEST_P(PelDialogTest, ReleaseOnCloseClosesThroughTheSystemCommand)
{
    POINT close = Centre(Button(kCaptionClose).buttonRect);
    MoveTo(close, HTCLOSE);
    Press(close, HTCLOSE);
    Release(close, HTCLOSE);
    ASSERT_EQ(1u, m_dialog->commands.size());
    EXPECT_EQ(static_cast<WPARAM>(SC_CLOSE), m_dialog->commands[0]);
}

TEST_P(PelDialogTest, DisabledButtonDrawsAtAlphaFiftyAndNeverHits)
{
    m_dialog->SetCaptionButtonDisabled(kCaptionMinimize, true);
    const CaptionButton& minimize = Button(kCaptionMinimize);
    ASSERT_NE(nullptr, minimize.image);
    CapturedImage image = CaptureWindow(Hwnd());
    ASSERT_FALSE(image.Empty());

    // The most opaque pixel of the glyph, read from the premultiplied image itself.
    DIBSECTION section = {};
    ASSERT_EQ(static_cast<int>(sizeof(section)),
              ::GetObjectW(minimize.image, sizeof(section), &section));
    const auto* bits = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
    ASSERT_NE(nullptr, bits);
    int best = -1;
    int bestX = 0;
    int bestY = 0;
    for (int y = 0; y < minimize.imageHeight; ++y)
        for (int x = 0; x < minimize.imageWidth; ++x) {
            int a = bits[(static_cast<size_t>(y) * minimize.imageWidth + x) * 4 + 3];
            if (a > best) {
                best = a;
                bestX = x;
                bestY = y;
            }
        }
    ASSERT_GT(best, 200);
    // The cache makes top-down bitmaps (GetObject reports the height as positive all the same).
    const std::uint8_t* px = bits + (static_cast<size_t>(bestY) * minimize.imageWidth + bestX) * 4;

    COLORREF bg = Palette().FrameBackground;
    COLORREF seen = image.Pixel(minimize.imageRect.left + bestX, minimize.imageRect.top + bestY);
    int channelsBg[3] = {GetBValue(bg), GetGValue(bg), GetRValue(bg)};
    int channelsSeen[3] = {GetBValue(seen), GetGValue(seen), GetRValue(seen)};
    int a50 = best * 50 / 255;
    bool differsFromOpaque = false;
    for (int c = 0; c < 3; ++c) {
        int faded = px[c] * 50 / 255 + channelsBg[c] * (255 - a50) / 255;
        int opaque = px[c] + channelsBg[c] * (255 - best) / 255;
        EXPECT_NEAR(faded, channelsSeen[c], 3) << "channel " << c;
        differsFromOpaque = differsFromOpaque || std::abs(opaque - channelsSeen[c]) > 10;
    }
    EXPECT_TRUE(differsFromOpaque);

    // Never highlighted, pressed or clicked.
    POINT p = Centre(minimize.buttonRect);
    EXPECT_EQ(-1, m_dialog->HitTestCaptionButton(POINT{kLeft + p.x, kTop + p.y}));
    MoveTo(p, HTMINBUTTON);
    EXPECT_FALSE(Button(kCaptionMinimize).hot);
    Press(p, HTMINBUTTON);
    Release(p, HTMINBUTTON);
    EXPECT_TRUE(m_dialog->commands.empty());
    EXPECT_FALSE(::IsIconic(Hwnd()));
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(CaptureWindow(Hwnd()), kCaptionMinimize));
}

// A solid red icon, drawn through its mask.
CIconHandle RedIcon(int size)
{
    std::vector<DWORD> colour(static_cast<size_t>(size) * size, 0x00FF0000);
    CBitmapHandle colourBitmap(::CreateBitmap(size, size, 1, 32, colour.data()));
    std::vector<BYTE> mask(static_cast<size_t>(size) * ((size + 15) / 16) * 2, 0);
    CBitmapHandle maskBitmap(::CreateBitmap(size, size, 1, 1, mask.data()));
    ICONINFO info = {TRUE, 0, 0, maskBitmap.Get(), colourBitmap.Get()};
    return CIconHandle(::CreateIconIndirect(&info));
}

TEST_P(PelDialogTest, TitleFlagDecidesWhetherIconAndTextAreDrawn)
{
    CIconHandle icon = RedIcon(32);
    ASSERT_TRUE(icon);
    // Setting the icon must not bring the system's caption back either.
    m_dialog->SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.Get()));
    RECT band = {X(1), Y(1), Button(kCaptionMinimize).buttonRect.left, Y(1) + Y(28)};
    EXPECT_FALSE(m_dialog->IsTitleVisible());
    EXPECT_TRUE(CaptureWindow(Hwnd()).AllColour(band, Palette().FrameBackground));

    m_dialog->SetTitleVisible(true);
    CapturedImage shown = CaptureWindow(Hwnd());
    int iconLeft = X(1) + 4 * X(1);
    int iconTop = Y(1) + (Y(28) - Y(18)) / 2;
    RECT iconRect = {iconLeft, iconTop, iconLeft + X(18), iconTop + Y(18)};
    EXPECT_EQ(X(18) * Y(18), shown.CountColour(iconRect, RGB(255, 0, 0)));
    EXPECT_EQ(Palette().FrameBackground, shown.Pixel(iconLeft - 1, iconTop));
    RECT textBand = {iconRect.right, Y(1), band.right, band.bottom};
    int textArea = (textBand.right - textBand.left) * (textBand.bottom - textBand.top);
    int textPixels = textArea - shown.CountColour(textBand, Palette().FrameBackground);
    EXPECT_GT(textPixels, 20);
    EXPECT_GT(shown.CountColour(textBand, Palette().CaptionText), 0);

    m_dialog->SetTitleVisible(false);
    EXPECT_TRUE(CaptureWindow(Hwnd()).AllColour(band, Palette().FrameBackground));
    m_dialog->SendMessage(WM_SETICON, ICON_BIG, 0);
}

TEST_P(PelDialogTest, MaximisedClientIsInsetByTheOverhang)
{
    m_dialog->ShowWindow(SW_MAXIMIZE);
    PumpMessages(100);
    ASSERT_TRUE(::IsZoomed(Hwnd()));
    RECT window = {};
    RECT client = {};
    POINT origin = {0, 0};
    ::GetWindowRect(Hwnd(), &window);
    ::GetClientRect(Hwnd(), &client);
    ::ClientToScreen(Hwnd(), &origin);
    int w = window.right - window.left;
    int h = window.bottom - window.top;
    EXPECT_EQ(8, origin.x - window.left);
    EXPECT_EQ(Y(28) + Y(1) + 8, origin.y - window.top);
    EXPECT_EQ(w - 16, client.right);
    EXPECT_EQ(h - (Y(28) + Y(1) + 8) - 8, client.bottom);

    // The region leaves out the overhang on the left, right and bottom, not on the top.
    CRegionHandle region(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(SIMPLEREGION, ::GetWindowRgn(Hwnd(), region.Get()));
    RECT box = {};
    ::GetRgnBox(region.Get(), &box);
    EXPECT_EQ(8, box.left);
    EXPECT_EQ(0, box.top);
    EXPECT_NEAR(w - 8, box.right, 1);
    EXPECT_NEAR(h - 8, box.bottom, 1);
    EXPECT_EQ(client.right, m_dialog->sizedClient.right);
}

TEST_P(PelDialogTest, ResizeKeepsARectangularRegionAndCallsTheLayoutHook)
{
    int before = m_dialog->sizedCalls;
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(m_dialog->sizedCalls, before);
    RECT client = {};
    ::GetClientRect(Hwnd(), &client);
    EXPECT_EQ(0, m_dialog->sizedClient.left);
    EXPECT_EQ(0, m_dialog->sizedClient.top);
    EXPECT_EQ(client.right, m_dialog->sizedClient.right);
    EXPECT_EQ(client.bottom, m_dialog->sizedClient.bottom);
    EXPECT_EQ(500 - 2 * X(1), client.right);

    CRegionHandle region(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(SIMPLEREGION, ::GetWindowRgn(Hwnd(), region.Get()));
    RECT box = {};
    ::GetRgnBox(region.Get(), &box);
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(0, box.top);
    EXPECT_NEAR(500, box.right, 1);
    EXPECT_NEAR(350, box.bottom, 1);
    // Every corner pixel of the window is inside: square corners.
    EXPECT_TRUE(::PtInRegion(region.Get(), 0, 0));
    EXPECT_TRUE(::PtInRegion(region.Get(), 499, 349));

    // The next paint lays the buttons out along the new width.
    m_dialog->RepaintFrame();
    EXPECT_EQ(500 - X(1), Button(kCaptionClose).buttonRect.right);
}

TEST_P(PelDialogTest, FrameRepaintsCreateNoLastingGdiObjects)
{
    CIconHandle icon = RedIcon(32);
    m_dialog->SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.Get()));
    m_dialog->SetTitleVisible(true);
    m_dialog->SetCaptionButtonDisabled(kCaptionMinimize, true);
    MoveTo(Centre(Button(kCaptionClose).buttonRect), HTCLOSE);
    m_dialog->RepaintFrame();
    int before = testing_support::CountLiveGdiObjects();
    for (int i = 0; i < 100; ++i) {
        m_dialog->RepaintFrame();
        m_dialog->SendMessage(WM_NCPAINT, 1, 0);
    }
    int after = testing_support::CountLiveGdiObjects();
    ::testing::Test::RecordProperty("GdiObjectsBefore", before);
    ::testing::Test::RecordProperty("GdiObjectsAfter", after);
    EXPECT_LE(after, before) << "GDI objects before " << before << ", after " << after;
    m_dialog->SendMessage(WM_SETICON, ICON_BIG, 0);
}

TEST_P(PelDialogTest, LeavingKeepsAHeldPressUntilRelease)
{
    POINT close = Centre(Button(kCaptionClose).buttonRect);
    MoveTo(close, HTCLOSE);
    Press(close, HTCLOSE);
    m_dialog->SendMessage(WM_NCMOUSELEAVE);
    EXPECT_FALSE(m_dialog->IsLeaveTracking());
    EXPECT_TRUE(Button(kCaptionClose).pressed);
    Release(CaptionPoint(), HTCAPTION);
    EXPECT_FALSE(Button(kCaptionClose).pressed);

    // Not held: leaving clears the highlight and draws it gone.
    MoveTo(close, HTCLOSE);
    EXPECT_TRUE(Button(kCaptionClose).hot);
    m_dialog->SendMessage(WM_NCMOUSELEAVE);
    EXPECT_FALSE(Button(kCaptionClose).hot);
    EXPECT_FALSE(Button(kCaptionClose).hover);
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(CaptureWindow(Hwnd()), kCaptionClose));
    EXPECT_TRUE(m_dialog->commands.empty());
}

TEST_P(PelDialogTest, DoubleClickOnTheCaptionRestoresOnlyAMaximisedWindow)
{
    m_dialog->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, Screen(CaptionPoint()));
    EXPECT_TRUE(m_dialog->commands.empty());
    EXPECT_FALSE(::IsZoomed(Hwnd()));

    m_dialog->ShowWindow(SW_MAXIMIZE);
    PumpMessages(50);
    ASSERT_TRUE(::IsZoomed(Hwnd()));
    m_dialog->commands.clear();
    m_dialog->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, Screen(POINT{X(60), 8 + Y(10)}));
    ASSERT_EQ(1u, m_dialog->commands.size());
    EXPECT_EQ(static_cast<WPARAM>(SC_RESTORE), m_dialog->commands[0]);
    EXPECT_FALSE(::IsZoomed(Hwnd()));
}

TEST_P(PelDialogTest, NewWindowTextShowsInTheOwnFrame)
{
    m_dialog->SetTitleVisible(true);
    RECT band = {X(1), Y(1), Button(kCaptionMinimize).buttonRect.left, Y(1) + Y(28)};
    CapturedImage before = CaptureWindow(Hwnd());
    ::SetWindowTextW(Hwnd(), L"Frame test with a longer title");
    CapturedImage after = CaptureWindow(Hwnd());
    // Only the frame's own colours: background and caption text with its smoothing between.
    int frame = after.CountColour(band, Palette().FrameBackground);
    int area = (band.right - band.left) * (band.bottom - band.top);
    EXPECT_GT(area - frame, area - before.CountColour(band, Palette().FrameBackground));
    EXPECT_EQ(Palette().FrameBorder, after.Pixel(0, Y(10)));
    EXPECT_EQ(Palette().FrameBackground, after.Pixel(band.right - 2, Y(2)));
    EXPECT_EQ(Palette().FrameBackground, ButtonCorner(after, kCaptionClose));
}

TEST_P(PelDialogTest, ButtonWithoutImageIsUndrawnButStillActs)
{
    // A second frame whose image module has no pictures.
    m_dialog->DestroyWindow();
    m_dialog.reset(new CFrameDialog(::GetModuleHandleW(nullptr)));
    ASSERT_TRUE(m_dialog->Create(nullptr));
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, kLeft, kTop, kWidth, kHeight, SWP_SHOWWINDOW);
    PumpMessages(50);
    m_dialog->RepaintFrame();
    ASSERT_EQ(nullptr, Button(kCaptionClose).image);
    ASSERT_FALSE(::IsRectEmpty(&Button(kCaptionClose).buttonRect));

    POINT close = Centre(Button(kCaptionClose).buttonRect);
    MoveTo(close, HTCLOSE);
    EXPECT_TRUE(Button(kCaptionClose).hot);
    // Not even the highlight is drawn.
    EXPECT_TRUE(CaptureWindow(Hwnd()).AllColour(Button(kCaptionClose).buttonRect,
                                                Palette().FrameBackground));
    Press(close, HTCLOSE);
    Release(close, HTCLOSE);
    ASSERT_EQ(1u, m_dialog->commands.size());
    EXPECT_EQ(static_cast<WPARAM>(SC_CLOSE), m_dialog->commands[0]);
}

TEST_P(PelDialogTest, ActivationChangesKeepTheOwnFrame)
{
    RECT band = {X(1), Y(1), Button(kCaptionMinimize).buttonRect.left, Y(1) + Y(28)};
    EXPECT_EQ(TRUE, m_dialog->SendMessage(WM_NCACTIVATE, FALSE, 0));
    CapturedImage inactive = CaptureWindow(Hwnd());
    EXPECT_TRUE(inactive.AllColour(band, Palette().FrameBackground));
    EXPECT_EQ(Palette().FrameBorder, inactive.Pixel(0, Y(10)));
    EXPECT_EQ(TRUE, m_dialog->SendMessage(WM_NCACTIVATE, TRUE, 0));
    EXPECT_TRUE(CaptureWindow(Hwnd()).AllColour(band, Palette().FrameBackground));
}

INSTANTIATE_TEST_SUITE_P(Dpi, PelDialogTest, ::testing::Values(96, 144));

} // namespace
