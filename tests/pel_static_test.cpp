// The label as a real child window of a shown window: background, text placement and
// fallback font, link cursor, focus cue and Enter, and the click notification.
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "controls/PelButton.h"
#include "controls/PelStatic.h"
#include "framework/Handles.h"
#include "framework/KeyboardCues.h"
#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr int kLabelId = 2001;
constexpr COLORREF kBackground = RGB(24, 25, 30);
constexpr COLORREF kText = RGB(230, 220, 90);

void Repaint(HWND hwnd)
{
    ::InvalidateRect(hwnd, nullptr, TRUE);
    ::UpdateWindow(hwnd);
    PumpMessages(10);
}

// What a label of this size shows when its text is drawn with the given font (the test's
// own reference drawing of the same text, format and colours).
CapturedImage ReferenceDrawing(HWND like, int width, int height, const wchar_t* text,
                               UINT format, HFONT font)
{
    CClientDC screen(like);
    CMemoryDC dc(screen.Get());
    CBitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    CSelectObject selectBitmap(dc, bitmap.Get());
    RECT rc = {0, 0, width, height};
    CBrushHandle brush(::CreateSolidBrush(kBackground));
    ::FillRect(dc, &rc, brush.Get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kText);
    CSelectObject selectFont(dc, font);
    ::DrawTextW(dc, text, -1, &rc, format);
    return CaptureDc(dc, width, height);
}

int CountDifferences(const CapturedImage& a, const CapturedImage& b)
{
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                ++n;
    return n;
}

CFontHandle FallbackArial(int height)
{
    return CFontHandle(::CreateFontW(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 3, 2, 2, 0,
                                     L"Arial"));
}

class PelStaticTest : public ::testing::Test
{
protected:
    PelStaticTest()
    {
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        CreateSharedFonts();
    }
    void SetUp() override { ASSERT_TRUE(host.Create()); }
    void TearDown() override
    {
        host.DestroyWindow();
        PumpMessages(10);
        ResetScreenDpiForTesting();
    }

    void Make(CPelStatic& label, DWORD style, int x, int y, int width, int height,
              int id = kLabelId)
    {
        HWND item = host.AddChild(L"STATIC", L"", style, id, x, y, width, height);
        ASSERT_NE(nullptr, item);
        ASSERT_TRUE(label.SubclassWindow(item));
        label.SetBackgroundColor(kBackground);
        label.SetTextColor(kText);
    }

    CControlHost host;
};

TEST_F(PelStaticTest, SubclassingMakesTheItemOwnerDrawnKeepingItsFlags)
{
    CPelStatic left;
    Make(left, SS_LEFT | SS_NOTIFY, 10, 10, 100, 20);
    EXPECT_EQ(static_cast<DWORD>(SS_OWNERDRAW), left.GetStyle() & SS_TYPEMASK);
    EXPECT_NE(0u, left.GetStyle() & SS_NOTIFY);
    // SS_RIGHT with SS_OWNERDRAW OR-ed in would be SS_ETCHEDFRAME.
    CPelStatic right;
    Make(right, SS_RIGHT, 10, 40, 100, 20, kLabelId + 1);
    EXPECT_EQ(static_cast<DWORD>(SS_OWNERDRAW), right.GetStyle() & SS_TYPEMASK);
    right.SetText(L"Right");
    right.SetTextFont(TextFont());
    right.SetTextFormat(DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    Repaint(right);
    CapturedImage shot = CaptureClient(right);
    RECT box = BoxOfOtherPixels(shot, RECT{0, 0, 100, 20}, kBackground);
    ASSERT_LT(box.left, box.right);
    EXPECT_GE(box.right, 96); // right-aligned by the text format
}

TEST_F(PelStaticTest, SetTextSetsTheWindowTextToo)
{
    CPelStatic label;
    Make(label, SS_LEFT, 10, 10, 100, 20);
    label.SetText(L"Destination folder");
    EXPECT_EQ(L"Destination folder", label.GetText());
    wchar_t buffer[64] = {};
    ::GetWindowTextW(label, buffer, 64);
    EXPECT_EQ(std::wstring(L"Destination folder"), buffer);
}

TEST_F(PelStaticTest, EmptyLabelDrawsOnlyItsBackground)
{
    CPelStatic label;
    Make(label, SS_LEFT, 10, 10, 120, 30);
    ::SetWindowTextW(label, L"window text only"); // the label draws its own text, not this
    Repaint(label);
    EXPECT_TRUE(CaptureClient(label).AllColour(RECT{0, 0, 120, 30}, kBackground));
}

TEST_F(PelStaticTest, TextIsDrawnInTheTextColourAndFont)
{
    CPelStatic label;
    Make(label, SS_LEFT, 10, 10, 160, 30);
    label.SetText(L"Language");
    label.SetTextFont(TextFont());
    label.SetTextFormat(DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    Repaint(label);
    CapturedImage shot = CaptureClient(label);
    CapturedImage expected =
        ReferenceDrawing(label, 160, 30, L"Language", DT_SINGLELINE | DT_VCENTER | DT_LEFT, TextFont());
    EXPECT_EQ(0, CountDifferences(expected, shot));
    EXPECT_GT(shot.CountColour(RECT{0, 0, 160, 30}, kText), 5);
}

TEST_F(PelStaticTest, WithoutFontDraws14PixelArialScaledLinearly)
{
    const wchar_t kSample[] = L"Hxg Folder";
    const UINT kFormat = DT_SINGLELINE | DT_LEFT | DT_TOP;
    // 110 dpi tells the linear rule (16) from the stepped one (14).
    const struct { int dpi; int height; } cases[] = {{96, 14}, {110, 16}, {120, 17}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        SetScreenDpiForTesting(c.dpi, c.dpi);
        CPelStatic label;
        Make(label, SS_LEFT, 10, 10 + c.dpi / 2, 200, 40, kLabelId + c.dpi);
        label.SetText(kSample);
        label.SetTextFormat(kFormat);
        Repaint(label);
        CapturedImage shot = CaptureClient(label);
        CFontHandle font = FallbackArial(c.height);
        CapturedImage expected = ReferenceDrawing(label, 200, 40, kSample, kFormat, font.Get());
        EXPECT_EQ(0, CountDifferences(expected, shot));
        // The two sizes really look different, so the comparison tells them apart.
        CFontHandle other = FallbackArial(c.height == 17 ? 14 : 17);
        EXPECT_GT(CountDifferences(ReferenceDrawing(label, 200, 40, kSample, kFormat, other.Get()),
                                   shot),
                  20);
    }
}

TEST_F(PelStaticTest, SingleLineBottomPutsTheTextOnTheBottomEdge)
{
    CPelStatic bottom;
    Make(bottom, SS_LEFT, 10, 10, 200, 60);
    bottom.SetText(L"Install to");
    bottom.SetTextFont(TextFont());
    bottom.SetTextFormat(DT_SINGLELINE | DT_WORDBREAK | DT_BOTTOM);
    Repaint(bottom);
    RECT box = BoxOfOtherPixels(CaptureClient(bottom), RECT{0, 0, 200, 60}, kBackground);
    ASSERT_LT(box.left, box.right);
    EXPECT_GE(box.top, 35);
    EXPECT_GE(box.bottom, 54);

    CPelStatic top;
    Make(top, SS_LEFT, 10, 100, 200, 60, kLabelId + 1);
    top.SetText(L"Install to");
    top.SetTextFont(TextFont());
    top.SetTextFormat(DT_SINGLELINE);
    Repaint(top);
    RECT topBox = BoxOfOtherPixels(CaptureClient(top), RECT{0, 0, 200, 60}, kBackground);
    ASSERT_LT(topBox.left, topBox.right);
    EXPECT_LE(topBox.top, 6);
}

TEST_F(PelStaticTest, FocusedLinkShowsTheCueAroundItsTextOnceTheKeyboardIsUsedAndOpensWithEnter)
{
    // A link much wider than its text, the text at the bottom, as the licence link is laid out.
    CPelStatic link;
    Make(link, SS_LEFT | SS_NOTIFY, 10, 10, 200, 30);
    link.SetLink(true);
    link.SetTextFont(TextFont());
    link.SetTextFormat(DT_SINGLELINE | DT_BOTTOM);
    link.SetText(L"Terms");
    const COLORREF cue = Palette().FocusCue;
    ::SetFocus(link);
    PumpMessages(20);
    EXPECT_TRUE(link.IsFocused());
    Repaint(link);
    CapturedImage plain = CaptureClient(link);
    EXPECT_EQ(0, plain.CountColour(RECT{0, 0, 200, 30}, cue)); // focused by mouse or program
    RECT text = BoxOfOtherPixels(plain, RECT{0, 0, 200, 30}, kBackground);
    ASSERT_LT(text.left, text.right);

    ShowFocusCues(host.m_hWnd);
    Repaint(link);
    CapturedImage shot = CaptureClient(link);
    ASSERT_GT(shot.CountColour(RECT{0, 0, 200, 30}, cue), 20);
    // The cue's own box: around the text, not around the whole label.
    RECT cueBox = {200, 30, 0, 0};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 200; ++x)
            if (shot.Pixel(x, y) == cue) {
                cueBox.left = std::min<LONG>(cueBox.left, x);
                cueBox.top = std::min<LONG>(cueBox.top, y);
                cueBox.right = std::max<LONG>(cueBox.right, x + 1);
                cueBox.bottom = std::max<LONG>(cueBox.bottom, y + 1);
            }
    EXPECT_EQ(0, cueBox.left);
    EXPECT_LE(cueBox.left, text.left);
    EXPECT_GE(cueBox.right, text.right);
    EXPECT_LT(cueBox.right, 100);
    EXPECT_EQ(30, cueBox.bottom);
    EXPECT_GT(cueBox.top, 5);

    // Enter opens it as a click does, and the dialog manager leaves Enter to it.
    MSG enter = {};
    enter.hwnd = link.m_hWnd;
    enter.message = WM_KEYDOWN;
    enter.wParam = VK_RETURN;
    EXPECT_NE(0, link.SendMessage(WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                     DLGC_WANTMESSAGE);
    link.PostMessage(WM_KEYDOWN, VK_RETURN, 1);
    PumpMessages(20);
    EXPECT_EQ(1, host.CountCommands(kLabelId, STN_CLICKED));

    ::SetFocus(host.m_hWnd);
    PumpMessages(20);
    EXPECT_FALSE(link.IsFocused());
    Repaint(link);
    EXPECT_EQ(0, CaptureClient(link).CountColour(RECT{0, 0, 200, 30}, cue));
}

TEST_F(PelStaticTest, FocusedPlainLabelShowsNoFocusRectangle)
{
    CPelStatic label;
    Make(label, SS_LEFT, 10, 10, 120, 30);
    ShowFocusCues(host.m_hWnd);
    ::SetFocus(label);
    PumpMessages(20);
    EXPECT_TRUE(label.IsFocused());
    Repaint(label);
    EXPECT_TRUE(CaptureClient(label).AllColour(RECT{0, 0, 120, 30}, kBackground));
    label.PostMessage(WM_KEYDOWN, VK_RETURN, 1);
    PumpMessages(20);
    EXPECT_EQ(0, host.CountCommands(kLabelId, STN_CLICKED));
}

TEST_F(PelStaticTest, LinkShowsTheHandCursor)
{
    HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    CPelStatic link;
    Make(link, SS_LEFT | SS_NOTIFY, 10, 10, 120, 30);
    link.SetLink(true);
    CPelStatic plain;
    Make(plain, SS_LEFT | SS_NOTIFY, 10, 50, 120, 30, kLabelId + 1);

    ::SetCursor(arrow);
    plain.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(arrow, ::GetCursor());
    link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(hand, ::GetCursor());
    ::SetCursor(arrow);
    link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(hand, ::GetCursor());
    link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

TEST_F(PelStaticTest, NotifyLabelClicksStillReachTheParent)
{
    CPelStatic link;
    Make(link, SS_LEFT | SS_NOTIFY, 10, 10, 120, 30);
    link.SetLink(true);
    link.SetText(L"licence terms");
    link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    link.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpMessages(20);
    EXPECT_EQ(1, host.CountCommands(kLabelId, STN_CLICKED));
    ASSERT_FALSE(host.commands.empty());
    EXPECT_EQ(link.m_hWnd, host.commands.back().from);
}

// A label that draws its text its own way.
class CBoxLabel : public CPelStatic
{
public:
    int calls = 0;

protected:
    void DrawLabelText(HDC dc, const std::wstring&, RECT* rect) override
    {
        ++calls;
        RECT inner = {rect->left + 10, rect->top + 5, rect->left + 30, rect->top + 15};
        CBrushHandle brush(::CreateSolidBrush(RGB(0, 255, 0)));
        ::FillRect(dc, &inner, brush.Get());
    }
};

TEST_F(PelStaticTest, DrawLabelTextCanBeReplacedAndRunsOnlyWithText)
{
    CBoxLabel label;
    Make(label, SS_LEFT, 10, 10, 120, 30);
    Repaint(label);
    EXPECT_EQ(0, label.calls);
    label.SetText(L"x");
    Repaint(label);
    EXPECT_GE(label.calls, 1);
    CapturedImage shot = CaptureClient(label);
    EXPECT_TRUE(shot.AllColour(RECT{10, 5, 30, 15}, RGB(0, 255, 0)));
    EXPECT_EQ(kBackground, shot.Pixel(5, 5));
}

TEST_F(PelStaticTest, RepaintingDoesNotLeakGdiObjects)
{
    CPelStatic label;
    Make(label, SS_LEFT | SS_NOTIFY, 10, 10, 160, 30);
    label.SetText(L"fallback font each time");
    label.SetLink(true);
    ::SetFocus(label);
    Repaint(label);
    int before = CountLiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        ::InvalidateRect(label, nullptr, FALSE);
        ::UpdateWindow(label);
    }
    EXPECT_LE(CountLiveGdiObjects(), before + 2);
}

} // namespace

namespace {

// An in-memory dialog template: a popup with one static and one push button item.
std::vector<WORD> DialogWithItems()
{
    std::vector<WORD> t;
    auto dword = [&](DWORD v) { t.push_back(LOWORD(v)); t.push_back(HIWORD(v)); };
    auto align = [&] { if (t.size() % 2) t.push_back(0); };
    auto item = [&](DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls) {
        align();
        dword(WS_CHILD | WS_VISIBLE | style);
        dword(0);
        t.insert(t.end(), {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                           static_cast<WORD>(cy), id, 0xFFFF, cls, 0, 0});
    };
    dword(WS_POPUP | WS_VISIBLE);
    dword(0);
    t.insert(t.end(), {2, 0, 0, 200, 100, 0, 0, 0}); // items, x, y, cx, cy, menu, class, title
    item(SS_LEFT | SS_NOTIFY, 10, 10, 100, 12, 101, 0x0082);
    item(BS_PUSHBUTTON, 10, 40, 60, 20, 102, 0x0080);
    return t;
}

class CItemDialog : public CDialog
{
public:
    CItemDialog() : CDialog(0) {}
    CPelStatic label;
    CPelButton button;
    std::vector<WPARAM> commands;

    int Count(int id, int code) const
    {
        int n = 0;
        for (WPARAM w : commands)
            if (LOWORD(w) == id && HIWORD(w) == code)
                ++n;
        return n;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND)
            commands.push_back(wParam);
        return CDialog::WindowProc(msg, wParam, lParam);
    }

protected:
    BOOL OnInitDialog() override
    {
        label.SubclassDlgItem(101, m_hWnd);
        button.SubclassDlgItem(102, m_hWnd);
        label.SetBackgroundColor(kBackground);
        label.SetTextColor(kText);
        label.SetText(L"Licence terms");
        label.SetTextFont(TextFont());
        button.SetColorsAndText(RGB(60, 10, 10), RGB(90, 10, 10), RGB(120, 10, 10),
                                RGB(200, 200, 0), L"");
        return TRUE;
    }
};

} // namespace

TEST_F(PelStaticTest, LabelAndImageButtonWorkAsSubclassedItemsOfADialog)
{
    std::vector<WORD> dialogTemplate = DialogWithItems();
    CItemDialog dialog;
    dialog.InitModalIndirect(reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()));
    ASSERT_TRUE(dialog.Create(host.m_hWnd));
    ::SetWindowPos(dialog, HWND_TOPMOST, 60, 60, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    PumpMessages(30);
    ASSERT_NE(nullptr, dialog.label.m_hWnd);
    ASSERT_NE(nullptr, dialog.button.m_hWnd);
    Repaint(dialog.label);
    Repaint(dialog.button);

    RECT rc;
    dialog.label.GetClientRect(&rc);
    CapturedImage label = CaptureClient(dialog.label);
    EXPECT_GT(label.CountColour(rc, kText), 3);
    EXPECT_EQ(kBackground, label.Pixel(rc.right - 1, 0));
    dialog.button.GetClientRect(&rc);
    EXPECT_TRUE(CaptureClient(dialog.button).AllColour(rc, RGB(60, 10, 10)));

    // Clicks reach the dialog: STN_CLICKED sent by the label, BN_CLICKED posted by the button.
    dialog.label.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    dialog.label.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    dialog.button.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    dialog.button.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(PumpUntil([&] { return dialog.Count(102, BN_CLICKED) == 1; }, 1000));
    EXPECT_EQ(1, dialog.Count(101, STN_CLICKED));
    EXPECT_FALSE(dialog.button.IsPressed());
    dialog.DestroyWindow();
}
