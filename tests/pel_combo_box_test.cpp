// The installer's drop-down selector in a real window, set up as the settings panel sets up
// its language box: drop-down with owner-drawn fixed items, read-only edit, field colours.
#include "controls/PelComboBox.h"

#include "CaptureTestSupport.h"
#include "GdiTestSupport.h"
#include "WinTestSupport.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "framework/KeyboardCues.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::CaptureClient;
using testing_support::CapturedImage;
using testing_support::PumpMessages;
using testing_support::PumpUntil;

namespace {

const wchar_t kHostClass[] = L"PelComboTestHost";
const COLORREF kField = 0x34302F;
const COLORREF kArrowField = 0x464241;
const COLORREF kBorder = 0x695A49;
const COLORREF kHot = 0xD38A36;
const COLORREF kText = 0xFFFFFF;

// The notifications the parent saw, by code.
class CHostWnd : public CWnd
{
public:
    std::vector<UINT> notifications;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND && lParam)
            notifications.push_back(HIWORD(wParam));
        return CWnd::WindowProc(msg, wParam, lParam);
    }
    bool Saw(UINT code) const
    {
        for (UINT c : notifications)
            if (c == code)
                return true;
        return false;
    }
};

void RegisterHostClass()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CWnd::StaticWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHostClass;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    ::RegisterClassW(&wc);
}

// The installer's pictures: this runner has none of its own.
HMODULE InstallerModule()
{
    static CModuleHandle module(::LoadLibraryExW(testing_support::InstallerExePath().c_str(), nullptr,
                                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

class PelComboBoxTest : public ::testing::Test
{
protected:
    void SetUp() override { Build(100, 100); }

    void Build(int hostX, int comboX)
    {
        ASSERT_NE(InstallerModule(), nullptr);
        if (!TextFont())
            CreateSharedFonts();
        RegisterHostClass();
        ::SetCursorPos(5, 1000); // keep the real cursor off the windows
        ASSERT_TRUE(host.CreateEx(WS_EX_TOPMOST, kHostClass, L"combo host", WS_POPUP | WS_VISIBLE,
                                  hostX, 100, 400, 300, nullptr, nullptr));
        HWND item = ::CreateWindowExW(0, L"COMBOBOX", L"",
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN |
                                          CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                                      comboX, 20, 140, 200, host, reinterpret_cast<HMENU>(141),
                                      ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(item, nullptr);
        combo.SetResourceModule(InstallerModule());
        ASSERT_TRUE(combo.SubclassDlgItem(141, host));
        combo.SetReadOnly(true);
        combo.SetBackgroundColor(kField);
        combo.SetBorderColor(kBorder);
        combo.SetArrowBackgroundColor(kArrowField);
        combo.SetFont(TextFont());
        combo.SetListFont(TextFont());
        int height = ScreenDpiY() * 24 / 96;
        combo.SetItemHeight(-1, height);
        combo.SetItemHeight(0, height);
        ::SetForegroundWindow(host);
        PumpMessages(30);
    }

    void TearDown() override
    {
        if (combo.GetDroppedState())
            combo.ShowDropDown(false);
        if (host.m_hWnd)
            host.DestroyWindow();
    }

    void AddItems(int count, const wchar_t* prefix)
    {
        for (int i = 0; i < count; ++i)
            combo.AddString((std::wstring(prefix) + std::to_wstring(100 + i)).c_str());
    }

    void Click(int x = 10, int y = 5) { combo.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }

    RECT ListRect()
    {
        RECT r = {};
        ::GetWindowRect(combo.ListPart().m_hWnd, &r);
        return r;
    }

    CapturedImage Shot()
    {
        ::RedrawWindow(combo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return CaptureClient(combo);
    }

    CHostWnd host;
    CPelComboBox combo;
};

} // namespace

TEST_F(PelComboBoxTest, PartsAreAttachedAndTheEditFieldHidden)
{
    ASSERT_NE(combo.EditPart().m_hWnd, nullptr);
    ASSERT_NE(combo.ListPart().m_hWnd, nullptr);
    EXPECT_FALSE(combo.EditPart().IsWindowVisible());
    EXPECT_EQ(combo.EditPart().Owner(), combo.m_hWnd);
    EXPECT_EQ(combo.ListPart().Owner(), combo.m_hWnd);
    EXPECT_NE(combo.ListPart().GetStyle() & LBS_OWNERDRAWFIXED, 0u);
    EXPECT_TRUE(combo.IsReadOnly());
    ASSERT_TRUE(combo.HasArrowImage());
    // The 100 % strip at 96 dpi: three 14-px frames.
    if (ScreenDpiY() < 120) {
        EXPECT_EQ(combo.ArrowFrameWidth(), 14);
        EXPECT_EQ(combo.ArrowFrameHeight(), 14);
    }
    RECT client = {};
    combo.GetClientRect(&client);
    RECT arrow = combo.ArrowRect();
    EXPECT_EQ(arrow.right, client.right - DpiScaleLinearX(4));
    EXPECT_EQ(arrow.left, client.right - combo.ArrowFrameWidth() - 2 * DpiScaleLinearX(4));
}

TEST_F(PelComboBoxTest, ClickAnywhereOpensTheListAndASecondClickClosesIt)
{
    AddItems(3, L"Item ");
    Click(10, 5);
    EXPECT_TRUE(combo.GetDroppedState());
    EXPECT_TRUE(combo.ListPart().IsWindowVisible());
    EXPECT_TRUE(host.Saw(CBN_DROPDOWN)); // the parent sees it as well
    Click(20, 6);
    EXPECT_FALSE(combo.GetDroppedState());
    EXPECT_FALSE(combo.ListPart().IsWindowVisible());

    // Notifications the owner acts on are never consumed by the control.
    host.notifications.clear();
    host.SendMessage(WM_COMMAND, MAKEWPARAM(141, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo.m_hWnd));
    EXPECT_TRUE(host.Saw(CBN_SELENDOK));
}

TEST_F(PelComboBoxTest, FocusGivenToTheBoxSettlesAndIsReported)
{
    ::SetFocus(combo);
    PumpMessages(20);
    HWND focus = ::GetFocus();
    EXPECT_TRUE(focus == combo.m_hWnd || focus == combo.EditPart().m_hWnd);
    EXPECT_TRUE(combo.IsFocused());
    ::SetFocus(host);
    PumpMessages(20);
    EXPECT_FALSE(combo.IsFocused());
}

TEST_F(PelComboBoxTest, ReadOnlyEditSwallowsSelectionAndForwardsClicks)
{
    AddItems(2, L"Item ");
    combo.SetCurSel(1);
    HWND edit = combo.EditPart().m_hWnd;
    ::SendMessageW(edit, EM_SETSEL, 1, 3);
    DWORD start = 0, end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_FALSE(start == 1 && end == 3);

    ::SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    EXPECT_TRUE(combo.GetDroppedState());
    combo.ShowDropDown(false);

    combo.SetReadOnly(false);
    ::SendMessageW(edit, EM_SETSEL, 1, 3);
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 3u);
    // Editable: only the arrow area opens the list.
    Click(10, 5);
    EXPECT_FALSE(combo.GetDroppedState());
    RECT client = {};
    combo.GetClientRect(&client);
    Click(client.right - 3, client.bottom / 2);
    EXPECT_TRUE(combo.GetDroppedState());
}

TEST_F(PelComboBoxTest, DropDownWidensByAScrollBarOnlyAbove30Items)
{
    AddItems(30, L"A rather long language name number ");
    Click();
    int width30 = static_cast<int>(combo.SendMessage(CB_GETDROPPEDWIDTH));
    Click();
    RECT window = {};
    combo.GetWindowRect(&window);
    ASSERT_GT(width30, window.right - window.left); // the texts decide, not the box
    combo.AddString(L"A rather long language name number 130");
    Click();
    int width31 = static_cast<int>(combo.SendMessage(CB_GETDROPPEDWIDTH));
    EXPECT_EQ(width31 - width30, ::GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(ListRect().right - ListRect().left, width31);
    Click();
}

TEST_F(PelComboBoxTest, DropDownIsAtLeastAsWideAsTheBox)
{
    AddItems(2, L"x");
    Click();
    RECT window = {};
    combo.GetWindowRect(&window);
    EXPECT_EQ(combo.SendMessage(CB_GETDROPPEDWIDTH), window.right - window.left);
    Click();
}

TEST_F(PelComboBoxTest, NoSelectionShowsOnlyBackgroundArrowAndOutline)
{
    AddItems(3, L"Item ");
    CapturedImage shot = Shot();
    ASSERT_FALSE(shot.Empty());
    int w = shot.Width();
    int h = shot.Height();
    int strip = std::max(combo.ArrowFrameWidth(), DpiScaleX(24));
    EXPECT_TRUE(shot.AllColour(RECT{0, 0, w, 1}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{0, h - 1, w, h}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{0, 0, 1, h}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{w - 1, 0, w, h}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, w - strip, h - 1}, kField));
    // The arrow strip: its own background with the arrow picture on it.
    RECT arrowStrip = {w - strip, 1, w - 1, h - 1};
    int stripBackground = shot.CountColour(arrowStrip, kArrowField);
    EXPECT_GT(stripBackground, 0);
    EXPECT_LT(stripBackground, (strip - 1) * (h - 2));

    combo.SetCurSel(1);
    CapturedImage selected = Shot();
    RECT textArea = {1, 1, w - strip, h - 1};
    EXPECT_FALSE(selected.AllColour(textArea, kField));
    EXPECT_GT(selected.CountColour(textArea, kText), 0);
}

TEST_F(PelComboBoxTest, OutlineLightsUnderTheMouseAndStaysWhileTheListIsOpen)
{
    AddItems(3, L"Item ");
    CapturedImage cold = Shot();
    EXPECT_FALSE(combo.IsHot());
    EXPECT_EQ(cold.Pixel(5, 0), kBorder);

    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
    EXPECT_TRUE(combo.IsHot());
    EXPECT_TRUE(combo.IsTracking());
    CapturedImage hot = Shot();
    EXPECT_EQ(hot.Pixel(5, 0), kHot);
    EXPECT_EQ(hot.Pixel(0, 5), kHot);
    // The arrow shows another frame while hot.
    int w = hot.Width();
    RECT arrow = {w - combo.ArrowFrameWidth() - DpiScaleX(5), 0, w, hot.Height()};
    bool differs = false;
    for (int y = arrow.top; y < arrow.bottom && !differs; ++y)
        for (int x = arrow.left; x < arrow.right && !differs; ++x)
            differs = hot.Pixel(x, y) != cold.Pixel(x, y) && y > 0 && x < w - 1;
    EXPECT_TRUE(differs);

    // Open the list, then the mouse leaves the box into the list: still lit.
    Click();
    ASSERT_TRUE(combo.GetDroppedState());
    combo.SendMessage(WM_MOUSELEAVE);
    EXPECT_TRUE(combo.IsHot());
    EXPECT_EQ(Shot().Pixel(5, 0), kHot);

    // The list closing lowers it.
    combo.ShowDropDown(false);
    PumpMessages(20);
    EXPECT_FALSE(combo.IsHot());
    EXPECT_EQ(Shot().Pixel(5, 0), kBorder);

    // The next move over the box lights it again.
    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(12, 5));
    EXPECT_TRUE(combo.IsHot());
}

TEST_F(PelComboBoxTest, LeavingWithTheListClosedLowersTheOutline)
{
    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
    RECT arrow = combo.ArrowRect();
    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(arrow.left + 1, 5));
    EXPECT_TRUE(combo.IsArrowHover());
    combo.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(combo.IsHot());
    EXPECT_FALSE(combo.IsArrowHover());
    EXPECT_FALSE(combo.IsTracking());

    // The edit field's private messages light and lower it as well.
    combo.SendMessage(CPelComboBox::kMsgEditMouseEnter);
    EXPECT_TRUE(combo.IsHot());
    combo.SendMessage(CPelComboBox::kMsgEditMouseLeave);
    EXPECT_FALSE(combo.IsHot());
}

TEST_F(PelComboBoxTest, KeysChooseOpenAndCloseAndTheFieldShowsTheChoiceAndTheCue)
{
    InitThemePalette();
    AddItems(3, L"Item ");
    combo.SetCurSel(0);
    ::SetFocus(combo);
    PumpMessages(20);
    const HWND focus = ::GetFocus(); // the box passes it on to its edit field
    ASSERT_TRUE(focus == combo.m_hWnd || focus == combo.EditPart().m_hWnd);
    CapturedImage first = Shot();
    auto key = [&](UINT msg, WPARAM vk, LPARAM flags = 1) {
        ::PostMessageW(focus, msg, vk, flags);
        PumpMessages(40);
    };

    // Down with the list closed chooses the next item, and the field shows it at once,
    // drawn as a full repaint draws it.
    key(WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_FALSE(combo.GetDroppedState());
    CapturedImage drawn = CaptureClient(combo);
    CapturedImage repainted = Shot();
    ASSERT_EQ(drawn.Width(), repainted.Width());
    int differences = 0;
    int changed = 0;
    for (int y = 0; y < drawn.Height(); ++y)
        for (int x = 0; x < drawn.Width(); ++x) {
            differences += drawn.Pixel(x, y) != repainted.Pixel(x, y);
            changed += first.Pixel(x, y) != repainted.Pixel(x, y);
        }
    EXPECT_EQ(differences, 0) << "the field still shows the item before";
    EXPECT_GT(changed, 0);
    key(WM_KEYDOWN, VK_UP);
    EXPECT_EQ(combo.GetCurSel(), 0);

    // F4 and Alt+Down open the list; Enter and Escape close it.
    key(WM_KEYDOWN, VK_F4);
    EXPECT_TRUE(combo.GetDroppedState());
    key(WM_KEYDOWN, VK_RETURN);
    EXPECT_FALSE(combo.GetDroppedState());
    key(WM_SYSKEYDOWN, VK_DOWN, 0x20000001);
    EXPECT_TRUE(combo.GetDroppedState());
    key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_FALSE(combo.GetDroppedState());

    // The focus cue: dotted around the field once the keyboard has moved the focus, never
    // before (the item's text is white as well: the cue is read where no text is).
    const COLORREF cue = Palette().FocusCue;
    CapturedImage before = Shot();
    EXPECT_EQ(before.Pixel(2, 2), kField);
    EXPECT_EQ(before.Pixel(2, 4), kField);
    ShowFocusCues(host.m_hWnd);
    CapturedImage shown = Shot();
    EXPECT_EQ(shown.Pixel(2, 2), cue);
    EXPECT_EQ(shown.Pixel(3, 2), kField);
    EXPECT_EQ(shown.Pixel(2, 4), cue);
    ::SetFocus(host);
    PumpMessages(20);
    EXPECT_EQ(Shot().Pixel(2, 2), kField);
}

TEST_F(PelComboBoxTest, ListIsKeptOnTheMonitor)
{
    AddItems(5, L"A language with a long enough name ");
    // Push the list past the monitor's right edge, then let it ask for its colours.
    HMONITOR monitor = ::MonitorFromWindow(combo, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
        info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetMonitorInfoW(monitor, &info));
    HWND list = combo.ListPart().m_hWnd;
    ::SetWindowPos(list, nullptr, info.rcMonitor.right - 100, 200, 300, 100,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    HDC dc = ::GetDC(list);
    combo.SendMessage(WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(list));
    ::ReleaseDC(list, dc);
    RECT moved = ListRect();
    EXPECT_EQ(moved.right, info.rcMonitor.right);
    EXPECT_EQ(moved.right - moved.left, 300);
    EXPECT_EQ(moved.top, 200);

    // A list that fits stays where it is.
    ::SetWindowPos(list, nullptr, 10, 200, 300, 100, SWP_NOZORDER | SWP_NOACTIVATE);
    dc = ::GetDC(list);
    combo.SendMessage(WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(list));
    ::ReleaseDC(list, dc);
    EXPECT_EQ(ListRect().left, 10);
}

namespace {

// The box 10 px from the right edge of the primary monitor.
class PelComboBoxAtEdgeTest : public PelComboBoxTest
{
protected:
    void SetUp() override
    {
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info));
        monitorRight = info.rcMonitor.right;
        Build(monitorRight - 400, 250);
    }
    int monitorRight = 0;
};

} // namespace

TEST_F(PelComboBoxAtEdgeTest, ListOpenedNearTheRightEdgeEndsAtTheEdge)
{
    AddItems(5, L"A language with a rather long name to widen the list ");
    Click();
    ASSERT_TRUE(combo.GetDroppedState());
    PumpMessages(50);
    RECT list = ListRect();
    RECT box = {};
    combo.GetWindowRect(&box);
    EXPECT_GT(list.right - list.left, box.right - box.left);
    EXPECT_EQ(list.right, monitorRight);
    Click();
}

TEST_F(PelComboBoxTest, ListItemsAreDrawnInTheListColours)
{
    AddItems(3, L"Item ");
    combo.SetListColors(0x0000FF, 0xDFD8CE, 0x00FF00, 0x201A14, 0x433C33);
    combo.SetCurSel(1);
    Click();
    ASSERT_TRUE(combo.GetDroppedState());
    HWND list = combo.ListPart().m_hWnd;
    ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    PumpMessages(30);
    RECT item0 = {};
    RECT item1 = {};
    ::SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item0));
    ::SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item1));
    CapturedImage shot = CaptureClient(list);
    ASSERT_FALSE(shot.Empty());
    EXPECT_GT(shot.CountColour(item0, 0x201A14), 0);
    EXPECT_GT(shot.CountColour(item0, 0xDFD8CE), 0);
    EXPECT_GT(shot.CountColour(item1, 0x433C33), 0);
    EXPECT_GT(shot.CountColour(item1, 0x00FF00), 0);
    EXPECT_EQ(shot.CountColour(item1, 0x201A14), 0);
    // The window border in the border colour.
    CapturedImage frame = testing_support::CaptureWindow(list);
    EXPECT_EQ(frame.Pixel(0, 5), 0x0000FFu);
    Click();
}

TEST_F(PelComboBoxTest, DataManagerDestroysTheIconsItHolds)
{
    auto makeIcon = [] { return ::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)); };
    HICON first = makeIcon();
    HICON second = makeIcon();
    HICON third = makeIcon();
    ASSERT_TRUE(first && second && third);
    {
        CComboboxDataManager data;
        data.SetItemIcon(0, first);
        data.SetItemIcon(0, second); // replaces and destroys the first
        data.SetItemIcon(4, third);
        EXPECT_EQ(data.GetItemIcon(0), second);
        EXPECT_EQ(data.GetItemIcon(1), nullptr);
        ICONINFO info = {};
        EXPECT_FALSE(::GetIconInfo(first, &info));
        EXPECT_TRUE(::GetIconInfo(second, &info));
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
    }
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(second, &info));
    EXPECT_FALSE(::GetIconInfo(third, &info));
}

TEST_F(PelComboBoxTest, IconsMoveTheTextAndWidenTheList)
{
    AddItems(2, L"A language with a rather long name ");
    Click();
    int plain = static_cast<int>(combo.SendMessage(CB_GETDROPPEDWIDTH));
    Click();
    combo.ItemData().SetHasIcons(true);
    combo.ItemData().SetItemIcon(0, ::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
    Click();
    EXPECT_EQ(combo.SendMessage(CB_GETDROPPEDWIDTH), plain + ::GetSystemMetrics(SM_CXSMICON));
    Click();
}

TEST_F(PelComboBoxTest, RepaintingDoesNotLeakGdiObjects)
{
    AddItems(3, L"Item ");
    combo.SetCurSel(0);
    combo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
    for (int i = 0; i < 20; ++i)
        ::RedrawWindow(combo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    // The list's first showing makes what the system keeps for it (its DC, scroll bar):
    // counted before, so that only what repainting leaves behind shows up.
    Click();
    Click();
    int before = testing_support::CountLiveGdiObjects();
    {
        std::vector<CBrushHandle> probe;
        for (int i = 0; i < 20; ++i)
            probe.emplace_back(::CreateSolidBrush(RGB(i, 0, 0)));
        ASSERT_GE(testing_support::CountLiveGdiObjects(), before + 20); // the count sees them
    }
    for (int i = 0; i < 500; ++i)
        ::RedrawWindow(combo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Click();
    HWND list = combo.ListPart().m_hWnd;
    for (int i = 0; i < 100; ++i)
        ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    Click();
    EXPECT_LE(testing_support::CountLiveGdiObjects(), before + 5);
}

TEST(PelComboBoxCreate, PlainChildWindowGetsItsPartsToo)
{
    RegisterHostClass();
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, kHostClass, L"host", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr));
    CPelComboBox combo;
    combo.SetResourceModule(InstallerModule());
    ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWN | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                             RECT{10, 10, 150, 200}, host, 77));
    EXPECT_EQ(::GetDlgItem(host, 77), combo.m_hWnd);
    EXPECT_NE(combo.EditPart().m_hWnd, nullptr);
    EXPECT_NE(combo.ListPart().m_hWnd, nullptr);
    EXPECT_TRUE(combo.HasArrowImage());
    host.DestroyWindow();
    EXPECT_EQ(combo.m_hWnd, nullptr);
}

namespace {

// The same box on a 150 % screen.
class PelComboBoxAt144DpiTest : public PelComboBoxTest
{
protected:
    void SetUp() override
    {
        SetScreenDpiForTesting(144, 144);
        Build(100, 100);
    }
    void TearDown() override
    {
        PelComboBoxTest::TearDown();
        ResetScreenDpiForTesting();
    }
};

} // namespace

TEST_F(PelComboBoxAt144DpiTest, ArrowStripAndListRowsFollowTheScreen)
{
    ASSERT_TRUE(combo.HasArrowImage());
    EXPECT_EQ(combo.ArrowFrameWidth(), 21);
    EXPECT_EQ(combo.ArrowFrameHeight(), 21);
    RECT client = {};
    combo.GetClientRect(&client);
    EXPECT_EQ(combo.ArrowRect().left, client.right - 21 - 2 * 6);
    EXPECT_EQ(combo.ArrowRect().right, client.right - 6);
    // The list is sized for seven rows of 33 px; a list box without LBS_NOINTEGRALHEIGHT
    // then trims itself to whole items of its own height.
    combo.SendMessage(WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    RECT list = {};
    HWND listWnd = combo.ListPart().m_hWnd;
    ::GetWindowRect(listWnd, &list);
    int itemHeight = static_cast<int>(::SendMessageW(listWnd, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_GT(itemHeight, 0);
    EXPECT_LE(list.bottom - list.top, 7 * 33);
    EXPECT_GT(list.bottom - list.top, 7 * 33 - itemHeight);
}
