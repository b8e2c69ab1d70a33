// The progress bar as a real child window: what it draws for a position, read back as pixels.
#include "CaptureTestSupport.h"
#include "GdiTestSupport.h"
#include "controls/PelProgress.h"
#include "framework/Wnd.h"

#include <d2d1.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <cmath>
#include <cstdlib>

using namespace testing_support;

namespace {

const COLORREF kBackground = RGB(24, 25, 30);
const COLORREF kTrack = RGB(75, 71, 70);
const COLORREF kFill = RGB(7, 165, 216);
const COLORREF kHostColour = RGB(128, 0, 128);

// Layout of most cases: the bar is 300 x 24 and its track 300 x 16 with 6 px corners, so the
// track spans rows 4..19 and a corner pixel lies wholly outside the rounding.
constexpr int kBarW = 300;
constexpr int kBarH = 24;
constexpr int kTrackH = 16;
constexpr int kTrackTop = (kBarH - kTrackH) / 2;
constexpr float kRadius = 6.0f;

class CProgressHost : public CWnd
{
public:
    bool Create()
    {
        static const wchar_t kClass[] = L"PelProgressTestHost";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = m_brush;
        ::RegisterClassW(&wc);
        if (!CreateEx(WS_EX_TOPMOST, kClass, L"progress host", WS_POPUP | WS_VISIBLE, 60, 60,
                      kBarW + 40, 200, nullptr, nullptr))
            return false;
        ::SetForegroundWindow(m_hWnd);
        ::UpdateWindow(m_hWnd);
        return true;
    }
    ~CProgressHost() override
    {
        if (m_hWnd)
            DestroyWindow();
        ::DeleteObject(m_brush);
    }

private:
    HBRUSH m_brush = ::CreateSolidBrush(kHostColour);
};

class PelProgressTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Create());
        RECT rc = {20, 20, 20 + kBarW, 20 + kBarH};
        ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, rc, host, 105));
        bar.SetBackgroundColor(kBackground);
        bar.SetTrackColor(kTrack);
        bar.SetFillColor(kFill);
        bar.SetMaximum(1000);
        bar.SetTrackRect(RECT{0, 0, kBarW, kTrackH});
        bar.SetCornerRadius(kRadius, kRadius);
    }

    CapturedImage Show(int position)
    {
        bar.SetPos(position);
        return Repaint();
    }

    CapturedImage Repaint()
    {
        ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PumpMessages(10);
        return CaptureClient(bar);
    }

    // Whether the pixel centre lies inside the rounded track (corners of radius r), grown by
    // `slack` pixels for antialiased edges.
    static bool InsideTrack(int x, int y, float slack)
    {
        float px = x + 0.5f;
        float py = y + 0.5f;
        float left = 0.0f, top = static_cast<float>(kTrackTop);
        float right = static_cast<float>(kBarW), bottom = top + kTrackH;
        if (px < left - slack || px > right + slack || py < top - slack || py > bottom + slack)
            return false;
        float cx = px < left + kRadius ? left + kRadius : (px > right - kRadius ? right - kRadius : px);
        float cy = py < top + kRadius ? top + kRadius : (py > bottom - kRadius ? bottom - kRadius : py);
        float dx = px - cx, dy = py - cy;
        return std::sqrt(dx * dx + dy * dy) <= kRadius + slack;
    }

    CProgressHost host;
    CPelProgress bar;
};

const int kMidRow = kTrackTop + kTrackH / 2;

} // namespace

TEST_F(PelProgressTest, DefaultsAndProperties)
{
    CPelProgress fresh;
    EXPECT_EQ(0, fresh.GetPos());
    EXPECT_EQ(100, fresh.GetMaximum());
    EXPECT_EQ(0u, fresh.GetBackgroundColor());
    EXPECT_FALSE(fresh.HasRenderTargetForTesting());
    EXPECT_EQ(1000, bar.GetMaximum());
    EXPECT_EQ(kFill, bar.GetFillColor());
    EXPECT_EQ(kTrackH, bar.GetTrackRect().bottom);
    EXPECT_EQ(105, ::GetDlgCtrlID(bar));
    EXPECT_EQ(static_cast<HWND>(host), ::GetParent(bar));
}

TEST_F(PelProgressTest, PositionZeroShowsTheTrackOnly)
{
    CapturedImage img = Show(0);
    ASSERT_EQ(kBarW, img.Width());
    EXPECT_EQ(0, img.CountColour(RECT{0, 0, kBarW, kBarH}, kFill));
    EXPECT_TRUE(img.AllColour(RECT{0, kMidRow - 2, kBarW, kMidRow + 2}, kTrack));
    // Above and below the centred track: the background.
    EXPECT_TRUE(img.AllColour(RECT{0, 0, kBarW, kTrackTop}, kBackground));
    EXPECT_TRUE(img.AllColour(RECT{0, kTrackTop + kTrackH, kBarW, kBarH}, kBackground));
    // The rounded corners leave the corner pixels to the background.
    EXPECT_EQ(kBackground, img.Pixel(0, kTrackTop));
    EXPECT_EQ(kBackground, img.Pixel(kBarW - 1, kTrackTop + kTrackH - 1));
    EXPECT_TRUE(bar.HasRenderTargetForTesting());
}

TEST_F(PelProgressTest, NegativePositionDrawsTheTrackOnly)
{
    CapturedImage img = Show(-250);
    EXPECT_EQ(0, img.CountColour(RECT{0, 0, kBarW, kBarH}, kFill));
    EXPECT_TRUE(img.AllColour(RECT{0, kMidRow, kBarW, kMidRow + 1}, kTrack));
}

TEST_F(PelProgressTest, PartialFillEndsStraightAtThePosition)
{
    // 37 % of 300 px: the fill covers columns 0..110, the track starts at column 111.
    CapturedImage img = Show(370);
    EXPECT_TRUE(img.AllColour(RECT{0, kMidRow - 2, 111, kMidRow + 2}, kFill));
    EXPECT_TRUE(img.AllColour(RECT{111, kTrackTop, 112, kTrackTop + kTrackH}, kTrack))
        << std::hex << img.Pixel(111, kMidRow);
    EXPECT_EQ(0, img.CountColour(RECT{111, 0, kBarW, kBarH}, kFill));
    // The cut is straight: the whole height of column 110 inside the track is fill colour.
    EXPECT_TRUE(img.AllColour(RECT{110, kTrackTop, 111, kTrackTop + kTrackH}, kFill));
}

TEST_F(PelProgressTest, FullAndOverfullFillTheRoundedTrackExactly)
{
    CapturedImage full = Show(1000);
    EXPECT_TRUE(full.AllColour(RECT{0, kMidRow - 2, kBarW, kMidRow + 2}, kFill));
    EXPECT_EQ(0, full.CountColour(RECT{0, 0, kBarW, kBarH}, kTrack));
    EXPECT_EQ(kBackground, full.Pixel(0, kTrackTop));
    EXPECT_EQ(kBackground, full.Pixel(kBarW - 1, kTrackTop));
    EXPECT_EQ(kBackground, full.Pixel(0, kTrackTop + kTrackH - 1));
    EXPECT_EQ(kBackground, full.Pixel(kBarW - 1, kTrackTop + kTrackH - 1));

    CapturedImage over = Show(1500);
    ASSERT_EQ(full.Width(), over.Width());
    int differing = 0;
    for (int y = 0; y < full.Height(); ++y)
        for (int x = 0; x < full.Width(); ++x)
            if (full.Pixel(x, y) != over.Pixel(x, y))
                ++differing;
    EXPECT_EQ(0, differing);
}

TEST_F(PelProgressTest, SmallPositionKeepsTheFillInsideTheRounding)
{
    // 1 % of 300 px = 3 px: less than the corner radius.
    CapturedImage img = Show(10);
    EXPECT_GT(img.CountColour(RECT{0, 0, 4, kBarH}, kFill), 0);
    int outside = 0;
    for (int y = 0; y < kBarH; ++y)
        for (int x = 0; x < 8; ++x) {
            COLORREF c = img.Pixel(x, y);
            // Anything touched by the fill is bluer than both background and track.
            bool fillTouched = GetBValue(c) > GetRValue(c) + 20;
            if (fillTouched && !InsideTrack(x, y, 0.75f))
                ++outside;
        }
    EXPECT_EQ(0, outside);
    EXPECT_EQ(kBackground, img.Pixel(0, kTrackTop));
    EXPECT_EQ(kBackground, img.Pixel(0, kTrackTop + kTrackH - 1));
    EXPECT_EQ(kBackground, img.Pixel(1, kTrackTop));
}

TEST_F(PelProgressTest, NarrowTrackRoundsWithHalfItsWidth)
{
    // An 8 x 20 track with a vertical radius of 12: the vertical radius becomes 4 (half the
    // width, although half the height would allow 10), so it looks exactly like radius 4.
    ::MoveWindow(bar, 20, 20, 8, 24, TRUE);
    bar.SetTrackRect(RECT{0, 0, 8, 20});
    bar.SetCornerRadius(4.0f, 12.0f);
    CapturedImage big = Show(0);
    ASSERT_EQ(8, big.Width());
    bar.SetCornerRadius(4.0f, 4.0f);
    CapturedImage four = Show(0);
    int differing = 0;
    for (int y = 0; y < big.Height(); ++y)
        for (int x = 0; x < big.Width(); ++x)
            if (big.Pixel(x, y) != four.Pixel(x, y))
                ++differing;
    EXPECT_EQ(0, differing);
    // And it is rounded at all: the corner pixel is background, the sides are straight.
    const int top = (24 - 20) / 2;
    EXPECT_EQ(kBackground, big.Pixel(0, top));
    EXPECT_TRUE(big.AllColour(RECT{0, top + 5, 8, top + 15}, kTrack));
}

TEST_F(PelProgressTest, MaximumZeroOrBelowDrawsTheTrackWithoutFill)
{
    for (int maximum : {0, -10}) {
        bar.SetMaximum(maximum);
        CapturedImage img = Show(50);
        ASSERT_FALSE(img.Empty());
        EXPECT_EQ(0, img.CountColour(RECT{0, 0, kBarW, kBarH}, kFill)) << maximum;
        EXPECT_TRUE(img.AllColour(RECT{0, kMidRow, kBarW, kMidRow + 1}, kTrack)) << maximum;
    }
    EXPECT_TRUE(bar.IsWindow());
}

TEST_F(PelProgressTest, LostTargetIsRecreatedOnTheNextPaint)
{
    Show(500);
    ASSERT_TRUE(bar.HasRenderTargetForTesting());
    EXPECT_EQ(1, bar.RenderTargetCreationsForTesting());
    EXPECT_EQ(S_OK, bar.LastEndDrawResultForTesting());

    bar.FailNextEndDrawForTesting(static_cast<long>(D2DERR_RECREATE_TARGET));
    Repaint();
    EXPECT_FALSE(bar.HasRenderTargetForTesting());

    CapturedImage img = Repaint();
    EXPECT_TRUE(bar.HasRenderTargetForTesting());
    EXPECT_EQ(2, bar.RenderTargetCreationsForTesting());
    EXPECT_EQ(kFill, img.Pixel(100, kMidRow));
    EXPECT_EQ(kTrack, img.Pixel(200, kMidRow));

    // Other failures keep the target.
    bar.FailNextEndDrawForTesting(static_cast<long>(E_FAIL));
    Repaint();
    EXPECT_TRUE(bar.HasRenderTargetForTesting());
    EXPECT_EQ(2, bar.RenderTargetCreationsForTesting());
}

TEST_F(PelProgressTest, RepaintsDoNotLeakGdiObjects)
{
    Show(1);
    int before = testing_support::CountLiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        bar.SetPos(i * 2);
        ::RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    PumpMessages(10);
    int after = testing_support::CountLiveGdiObjects();
    // A leak of one object per paint would show as 500 more.
    EXPECT_LE(after, before + 2) << "GDI objects before " << before << ", after " << after;
    std::printf("GDI objects before %d, after %d (negative: free slots counted)\n", before, after);
}

TEST_F(PelProgressTest, WorksAsASubclassedDialogItem)
{
    HWND item = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 60, kBarW, kBarH,
                                  host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(106)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, item);
    CPelProgress subclassed;
    ASSERT_TRUE(subclassed.SubclassDlgItem(106, host));
    subclassed.SetBackgroundColor(kBackground);
    subclassed.SetTrackColor(kTrack);
    subclassed.SetFillColor(kFill);
    subclassed.SetTrackRect(RECT{0, 0, kBarW, kTrackH});
    subclassed.SetPos(50);
    ::RedrawWindow(item, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    CapturedImage img = CaptureClient(item);
    EXPECT_TRUE(img.AllColour(RECT{0, kMidRow, 149, kMidRow + 1}, kFill));
    EXPECT_TRUE(img.AllColour(RECT{151, kMidRow, kBarW, kMidRow + 1}, kTrack));
    EXPECT_TRUE(img.AllColour(RECT{0, 0, kBarW, kTrackTop}, kBackground));
    ::DestroyWindow(item);
}
