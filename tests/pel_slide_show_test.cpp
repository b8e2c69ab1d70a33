// The slide show as a real child window with its clock under the test's control: which
// pictures it draws where, its click request and cursor.
#include "CaptureTestSupport.h"
#include "GdiTestSupport.h"
#include "WinTestSupport.h"
#include "controls/Images.h"
#include "controls/PelSliderShowCtrl.h"
#include "controls/SlideShowMath.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const COLORREF kBackground = RGB(24, 25, 30);
const COLORREF kRed = RGB(220, 30, 30);
const COLORREF kGreen = RGB(30, 200, 40);
const COLORREF kBlue = RGB(40, 60, 230);
constexpr int kAreaW = 400;
constexpr int kAreaH = 300;
constexpr std::int64_t kStart = 5000000;

std::int64_t g_now = kStart;
std::int64_t TestClock()
{
    return g_now;
}

// A solid-colour 32-bit bitmap, as a loaded slide would be.
CBitmapHandle SolidBitmap(int width, int height, COLORREF colour)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmapHandle bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        DWORD pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        auto* p = static_cast<DWORD*>(bits);
        for (int i = 0; i < width * height; ++i)
            p[i] = pixel;
    }
    return bitmap;
}

class CSlideHost : public CWnd
{
public:
    int clickRequests = 0;
    WPARAM lastWParam = 99;
    LPARAM lastLParam = 99;

    bool Create()
    {
        static const wchar_t kClass[] = L"PelSlideShowTestHost";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        ::RegisterClassW(&wc);
        if (!CreateEx(WS_EX_TOPMOST, kClass, L"slide show host", WS_POPUP | WS_VISIBLE, 40, 40,
                      kAreaW + 40, kAreaH + 40, nullptr, nullptr))
            return false;
        ::SetForegroundWindow(m_hWnd);
        ::UpdateWindow(m_hWnd);
        return true;
    }
    ~CSlideHost() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_USER + 250) {
            ++clickRequests;
            lastWParam = wParam;
            lastLParam = lParam;
            return 0;
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

class PelSlideShowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetSlideShowClockForTesting(&TestClock);
        ResetSlideShowOriginForTesting();
        g_now = kStart;
        ASSERT_TRUE(host.Create());
        ASSERT_TRUE(show.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{20, 20, 20 + kAreaW, 20 + kAreaH},
                                host, 170));
        show.SetBackgroundColor(kBackground);
    }
    void TearDown() override
    {
        if (show.IsWindow())
            show.DestroyWindow();
        SetSlideShowClockForTesting(nullptr);
        ResetSlideShowOriginForTesting();
    }

    void AddThree()
    {
        bitmaps.push_back(SolidBitmap(200, 100, kRed));
        bitmaps.push_back(SolidBitmap(180, 90, kGreen));
        bitmaps.push_back(SolidBitmap(160, 80, kBlue));
        show.AddSlide(bitmaps[0].Get(), 200, 100);
        show.AddSlide(bitmaps[1].Get(), 180, 90);
        show.AddSlide(bitmaps[2].Get(), 160, 80);
    }

    // Paints at the clock's start (taking the origin), then at `seconds` after it.
    CapturedImage At(double seconds)
    {
        if (show.GetSlides().size() && show.PaintCountForTesting() == 0)
            PaintNow();
        g_now = kStart + static_cast<std::int64_t>(seconds * 1000.0 + 0.5);
        return PaintNow();
    }

    CapturedImage PaintNow()
    {
        ::RedrawWindow(show, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return CaptureClient(show);
    }

    static RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

    CSlideHost host;
    CPelSliderShowCtrl show;
    std::vector<CBitmapHandle> bitmaps;
};

} // namespace

TEST_F(PelSlideShowTest, DefaultsAndProperties)
{
    CPelSliderShowCtrl fresh;
    EXPECT_EQ(0x1E1918u, fresh.GetBackgroundColor());
    EXPECT_DOUBLE_EQ(7.5, fresh.GetDisplayTime());
    EXPECT_DOUBLE_EQ(0.6, fresh.GetTransitionTime());
    EXPECT_TRUE(fresh.GetSlides().empty());
    EXPECT_EQ(170, ::GetDlgCtrlID(show));
    AddThree();
    ASSERT_EQ(3u, show.GetSlides().size());
    EXPECT_EQ(180, show.GetSlides()[1].width);
    EXPECT_EQ(bitmaps[1].Get(), show.GetSlides()[1].bitmap);
    show.ClearSlides();
    EXPECT_TRUE(show.GetSlides().empty());
}

TEST_F(PelSlideShowTest, EmptyListShowsTheBackgroundOnly)
{
    CapturedImage img = At(1.0);
    ASSERT_EQ(kAreaW, img.Width());
    EXPECT_TRUE(img.AllColour(Rect(0, 0, kAreaW, kAreaH), kBackground));
}

TEST_F(PelSlideShowTest, FirstPictureStandsCentredAtOneSecond)
{
    AddThree();
    CapturedImage img = At(1.0);
    EXPECT_TRUE(img.AllColour(Rect(100, 100, 200, 100), kRed));
    EXPECT_EQ(200 * 100, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kRed));
    EXPECT_EQ(kAreaW * kAreaH - 200 * 100, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kBackground));
}

TEST_F(PelSlideShowTest, MidTransitionShowsBothPicturesPushedLeft)
{
    AddThree();
    // 7.8 s: x = 0.5, s = 200. Picture 1 at x = 100 - 200, picture 2 at 400 + 110 - 200.
    CapturedImage img = At(7.8);
    EXPECT_TRUE(img.AllColour(Rect(0, 100, 100, 100), kRed));
    EXPECT_EQ(100 * 100, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kRed));
    EXPECT_TRUE(img.AllColour(Rect(310, 105, 90, 90), kGreen));
    EXPECT_EQ(90 * 90, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kGreen));
    EXPECT_EQ(kBackground, img.Pixel(100, 150));
    EXPECT_EQ(kBackground, img.Pixel(309, 150));
    const SlideFrame& f = show.LastFrameForTesting();
    ASSERT_EQ(2u, f.count);
    EXPECT_EQ(-100, f.draws[0].x);
    EXPECT_EQ(310, f.draws[1].x);
}

TEST_F(PelSlideShowTest, SecondPictureStandsAtNineSecondsAndTheFirstComesBack)
{
    AddThree();
    CapturedImage img = At(9.0);
    EXPECT_TRUE(img.AllColour(Rect(110, 105, 180, 90), kGreen));
    EXPECT_EQ(0, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kRed));
    CapturedImage third = At(17.0);
    EXPECT_TRUE(third.AllColour(Rect(120, 110, 160, 80), kBlue));
    CapturedImage again = At(3 * 8.1 + 1.0);
    EXPECT_TRUE(again.AllColour(Rect(100, 100, 200, 100), kRed));
    EXPECT_EQ(0, again.CountColour(Rect(0, 0, kAreaW, kAreaH), kBlue));
}

TEST_F(PelSlideShowTest, SinglePictureIsGoneDuringThePush)
{
    bitmaps.push_back(SolidBitmap(200, 100, kRed));
    show.AddSlide(bitmaps[0].Get(), 200, 100);
    EXPECT_TRUE(At(1.0).AllColour(Rect(100, 100, 200, 100), kRed));
    CapturedImage gone = At(7.8);
    EXPECT_TRUE(gone.AllColour(Rect(0, 0, kAreaW, kAreaH), kBackground));
    EXPECT_TRUE(At(8.2).AllColour(Rect(100, 100, 200, 100), kRed));
}

TEST_F(PelSlideShowTest, PictureLargerThanTheAreaIsCentredAndCut)
{
    // 600 x 400 in a 400 x 300 area: drawn at (-100, -50), so it covers the whole control.
    bitmaps.push_back(SolidBitmap(300, 200, kGreen));
    bitmaps.push_back(SolidBitmap(600, 400, kBlue));
    // Put a red stripe where the visible part begins, to see the offset.
    {
        CMemoryDC dc(nullptr);
        CSelectObject select(dc, bitmaps[1].Get());
        CBrushHandle red(::CreateSolidBrush(kRed));
        RECT stripe = {100, 50, 101, 350};
        ::FillRect(dc, &stripe, red.Get());
    }
    show.AddSlide(bitmaps[1].Get(), 600, 400);
    show.AddSlide(bitmaps[0].Get(), 300, 200);
    CapturedImage img = At(1.0);
    EXPECT_EQ(0, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kBackground));
    EXPECT_TRUE(img.AllColour(Rect(0, 0, 1, kAreaH), kRed));
    EXPECT_TRUE(img.AllColour(Rect(1, 0, kAreaW - 1, kAreaH), kBlue));
}

TEST_F(PelSlideShowTest, MarginsShrinkThePictureArea)
{
    AddThree();
    // A = 400 - 100 - 0 = 300, B = 300 - 0 - 100 = 200: picture 1 at (50, 50) from the client
    // origin.
    show.SetMargins(100, 0, 0, 100);
    CapturedImage img = At(1.0);
    EXPECT_TRUE(img.AllColour(Rect(50, 50, 200, 100), kRed));
    EXPECT_EQ(200 * 100, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kRed));
}

TEST_F(PelSlideShowTest, OriginIsSharedAcrossControlsAndShowings)
{
    AddThree();
    At(1.0);
    show.DestroyWindow();
    // A new control 9 s after the first paint continues with picture 2.
    CPelSliderShowCtrl second;
    ASSERT_TRUE(second.Create(WS_CHILD | WS_VISIBLE, RECT{20, 20, 20 + kAreaW, 20 + kAreaH}, host, 171));
    second.SetBackgroundColor(kBackground);
    second.AddSlide(bitmaps[0].Get(), 200, 100);
    second.AddSlide(bitmaps[1].Get(), 180, 90);
    g_now = kStart + 9000;
    ::RedrawWindow(second, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    CapturedImage img = CaptureClient(second);
    EXPECT_TRUE(img.AllColour(Rect(110, 105, 180, 90), kGreen));
    EXPECT_EQ(0, img.CountColour(Rect(0, 0, kAreaW, kAreaH), kRed));
}

TEST_F(PelSlideShowTest, OriginWaitsForAPaintWithSlides)
{
    // Paints of an empty show do not start the clock.
    At(0.0);
    g_now = kStart + 30000;
    PaintNow();
    AddThree();
    CapturedImage img = PaintNow(); // origin now: picture 1
    EXPECT_TRUE(img.AllColour(Rect(100, 100, 200, 100), kRed));
    g_now += 8500;
    EXPECT_TRUE(PaintNow().AllColour(Rect(110, 105, 180, 90), kGreen));
}

TEST_F(PelSlideShowTest, TimerRepaintsAboutThirtyTimesASecond)
{
    AddThree();
    int before = show.PaintCountForTesting();
    PumpMessages(400);
    int painted = show.PaintCountForTesting() - before;
    // 33 ms period: about 12 in 400 ms; a loaded machine may deliver fewer.
    EXPECT_GE(painted, 4);
    EXPECT_LE(painted, 20);
    // Other timers are not the animation's.
    ::SetTimer(show, 7, 10, nullptr);
    ::KillTimer(show, CPelSliderShowCtrl::kAnimationTimer);
    before = show.PaintCountForTesting();
    PumpMessages(200);
    ::KillTimer(show, 7);
    EXPECT_EQ(before, show.PaintCountForTesting());
}

TEST_F(PelSlideShowTest, ClickAnywhereSendsTheRequestToTheParent)
{
    AddThree();
    At(1.0);
    show.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(150, 150)); // on the picture
    EXPECT_EQ(1, host.clickRequests);
    show.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(5, 5)); // on the background
    EXPECT_EQ(2, host.clickRequests);
    EXPECT_EQ(0u, host.lastWParam);
    EXPECT_EQ(0, host.lastLParam);
    show.ClearSlides();
    PaintNow();
    show.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(390, 290));
    PumpMessages(20);
    EXPECT_EQ(3, host.clickRequests);
}

TEST_F(PelSlideShowTest, CursorIsTheHand)
{
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    LRESULT handled = show.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(show.m_hWnd),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(TRUE, handled);
    EXPECT_EQ(::LoadCursorW(nullptr, IDC_HAND), ::GetCursor());
}

TEST_F(PelSlideShowTest, SamplePicturesDrawAtTheirNaturalSize)
{
    std::vector<std::unique_ptr<CImageWrapper>> pictures;
    for (int n = 1; n <= 3; ++n) {
        auto picture = LoadImageFile(WinePath(std::string(PEL_SOURCE_DIR) +
                                              "/sample/language/1033/slides/100/slide" +
                                              std::to_string(n) + ".jpg"));
        ASSERT_TRUE(picture && picture->HasBitmap()) << n;
        show.AddSlide(picture->Bitmap(), picture->Width(), picture->Height());
        pictures.push_back(std::move(picture));
    }
    // 660 x 284 in a 400 x 300 area: x = -130, y = 8.
    CapturedImage img = At(1.0);
    CMemoryDC dc(nullptr);
    CSelectObject select(dc, pictures[0]->Bitmap());
    int same = 0;
    int checked = 0;
    for (int y = 8; y < 8 + 284; y += 23)
        for (int x = 0; x < kAreaW; x += 17) {
            ++checked;
            if (img.Pixel(x, y) == (::GetPixel(dc, x + 130, y - 8) & 0xFFFFFF))
                ++same;
        }
    EXPECT_EQ(checked, same);
    EXPECT_TRUE(img.AllColour(Rect(0, 0, kAreaW, 8), kBackground));
    EXPECT_TRUE(img.AllColour(Rect(0, 292, kAreaW, 8), kBackground));
}

TEST_F(PelSlideShowTest, RepaintsDoNotLeakGdiObjects)
{
    AddThree();
    At(7.8);
    int before = testing_support::CountLiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        g_now = kStart + 7500 + i * 40;
        ::RedrawWindow(show, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    int after = testing_support::CountLiveGdiObjects();
    // A leak of one object per paint would show as 500 more.
    EXPECT_LE(after, before + 2) << "GDI objects before " << before << ", after " << after;
    std::printf("GDI objects before %d, after %d (negative: free slots counted)\n", before, after);
}

TEST_F(PelSlideShowTest, WorksAsASubclassedDialogItem)
{
    HWND item = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 20, kAreaW, kAreaH,
                                  host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(172)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, item);
    show.DestroyWindow();
    CPelSliderShowCtrl subclassed;
    ASSERT_TRUE(subclassed.SubclassDlgItem(172, host));
    subclassed.SetBackgroundColor(kBackground);
    bitmaps.push_back(SolidBitmap(200, 100, kRed));
    subclassed.AddSlide(bitmaps[0].Get(), 200, 100);
    // A plain static lets the mouse through to its parent; the slide show takes it.
    EXPECT_EQ(HTCLIENT, subclassed.SendMessage(WM_NCHITTEST, 0, ScreenPointOfWindow(item, 5, 5)));
    // The animation runs without WM_CREATE having been seen.
    int before = subclassed.PaintCountForTesting();
    PumpMessages(300);
    EXPECT_GT(subclassed.PaintCountForTesting(), before + 2);
    CapturedImage img = CaptureClient(item);
    EXPECT_TRUE(img.AllColour(Rect(100, 100, 200, 100), kRed));
    subclassed.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(2, 2));
    EXPECT_EQ(1, host.clickRequests);
    ::DestroyWindow(item);
}
