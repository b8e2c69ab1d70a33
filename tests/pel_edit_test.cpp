// The installer's text field in a real window: frame, margins, colours, mouse and shortcuts.
#include "controls/Palette.h"
#include "controls/PelEdit.h"
#include "framework/KeyboardCues.h"

#include "CaptureTestSupport.h"
#include "HostTestSupport.h"
#include "GdiTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::CaptureClient;
using testing_support::CaptureWindow;
using testing_support::CapturedImage;
using testing_support::PumpMessages;

namespace {

const COLORREF kField = 0x34302F;
const COLORREF kBorder = 0x695A49;
const COLORREF kActive = 0xD38A36;
const wchar_t kFolder[] = L"C:\\Program Files\\Quillo";

// Holds Ctrl (or Shift) down in this thread's key state for as long as it lives.
class CCtrlHeld
{
public:
    explicit CCtrlHeld(bool shiftInstead = false)
    {
        ::GetKeyboardState(m_saved);
        BYTE state[256];
        ::memcpy(state, m_saved, sizeof(state));
        state[VK_CONTROL] = shiftInstead ? 0 : 0x80;
        state[VK_LCONTROL] = shiftInstead ? 0 : 0x80;
        state[VK_SHIFT] = shiftInstead ? 0x80 : 0;
        state[VK_LSHIFT] = shiftInstead ? 0x80 : 0;
        ::SetKeyboardState(state);
    }
    ~CCtrlHeld() { ::SetKeyboardState(m_saved); }

private:
    BYTE m_saved[256];
};

bool PutOnClipboard(HWND owner, const std::wstring& text)
{
    if (!::OpenClipboard(owner))
        return false;
    ::EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (block) {
        ::memcpy(::GlobalLock(block), text.c_str(), bytes);
        ::GlobalUnlock(block);
        ok = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        if (!ok)
            ::GlobalFree(block);
    }
    ::CloseClipboard();
    return ok;
}

std::wstring ClipboardText(HWND owner)
{
    std::wstring text;
    if (!::OpenClipboard(owner))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

class PelEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Create(100, 100, 400, 200,
                                static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH))));
        font.Reset(::CreateFontW(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0,
                                 L"Tahoma"));
        ASSERT_TRUE(font);
        HWND item = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", kFolder,
                                      WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                                      20, 20, 300, 24, host, reinterpret_cast<HMENU>(143),
                                      ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(item, nullptr);
        ::SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
        other = ::CreateWindowExW(0, L"BUTTON", L"x", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 20, 100,
                                  60, 24, host, reinterpret_cast<HMENU>(1),
                                  ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(edit.SubclassDlgItem(143, host));
        edit.SetBackgroundColor(kField);
        ::SetForegroundWindow(host);
        PumpMessages(50);
    }

    void TearDown() override
    {
        if (host.m_hWnd)
            host.DestroyWindow();
    }

    // The outline as the control left it: no forced frame repaint, so a state change that
    // forgets to repaint the frame shows.
    COLORREF OutlinePixel()
    {
        PumpMessages(20);
        return CaptureWindow(edit).Pixel(10, 0);
    }

    std::pair<int, int> Selection()
    {
        int start = -1;
        int end = -1;
        edit.GetSel(&start, &end);
        return {start, end};
    }

    void Click(int x, int y)
    {
        edit.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        edit.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    testing_support::CControlHost host;
    CPelEdit edit;
    CFontHandle font;
    HWND other = nullptr;
};

const int kFolderLength = static_cast<int>(std::wstring(kFolder).size());

} // namespace

TEST_F(PelEditTest, FrameGoesAndTheTextLineSitsCentredBetweenFieldColouredMargins)
{
    EXPECT_EQ(edit.GetExStyle() & WS_EX_CLIENTEDGE, 0u);
    EXPECT_EQ(edit.GetStyle() & WS_BORDER, 0u);

    HDC dc = ::GetDC(edit);
    HGDIOBJ old = ::SelectObject(dc, font.Get());
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(edit, dc);
    ASSERT_EQ(tm.tmHeight + tm.tmExternalLeading, 16);

    RECT client = {};
    edit.GetClientRect(&client);
    EXPECT_EQ(client.bottom, 16);
    EXPECT_EQ(client.right, 298);
    POINT origin = {0, 0};
    ::MapWindowPoints(edit, nullptr, &origin, 1);
    RECT window = {};
    edit.GetWindowRect(&window);
    EXPECT_EQ(origin.y - window.top, 4);
    EXPECT_EQ(origin.x - window.left, 1);

    ::RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CapturedImage shot = CaptureWindow(edit);
    ASSERT_FALSE(shot.Empty());
    // Row 0 and row 23 are the outline; rows 1-3 and 20-22 are field colour.
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, 299, 4}, kField));
    EXPECT_TRUE(shot.AllColour(RECT{1, 20, 299, 23}, kField));
    EXPECT_TRUE(shot.AllColour(RECT{0, 0, 300, 1}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{0, 23, 300, 24}, kBorder));
    EXPECT_TRUE(shot.AllColour(RECT{0, 0, 1, 24}, kBorder));
    // The client area shows the text on the field colour, in the text colour.
    EXPECT_GT(shot.CountColour(RECT{1, 4, 299, 20}, kField), 0);
    EXPECT_GT(shot.CountColour(RECT{1, 4, 299, 20}, 0xFFFFFF), 0);
}

TEST_F(PelEditTest, NewBackgroundColourGetsANewBrushAndRepaintsTheMargins)
{
    HBRUSH before = edit.BackgroundBrush();
    edit.SetBackgroundColor(0x102030);
    EXPECT_NE(edit.BackgroundBrush(), nullptr);
    EXPECT_NE(edit.BackgroundBrush(), before);
    PumpMessages(20);
    CapturedImage shot = CaptureWindow(edit);
    EXPECT_TRUE(shot.AllColour(RECT{1, 1, 299, 4}, 0x102030));
}

TEST_F(PelEditTest, FieldLowerThanOneLineKeepsAValidClientArea)
{
    ::SetWindowPos(edit, nullptr, 0, 0, 300, 10, SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    edit.GetClientRect(&client);
    EXPECT_EQ(client.bottom, 10);
    EXPECT_GT(client.right, 0);
}

TEST_F(PelEditTest, ANewFontRecentresTheTextLine)
{
    CFontHandle small(::CreateFontW(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0,
                                    L"Tahoma"));
    ASSERT_TRUE(small);
    edit.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(small.Get()), TRUE);
    RECT client = {};
    edit.GetClientRect(&client);
    EXPECT_EQ(client.bottom, 12);
    POINT origin = {0, 0};
    ::MapWindowPoints(edit, nullptr, &origin, 1);
    RECT window = {};
    edit.GetWindowRect(&window);
    EXPECT_EQ(origin.y - window.top, 6);
    edit.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
}

TEST_F(PelEditTest, FirstClickSelectsAllAndSecondPlacesTheCaret)
{
    EXPECT_FALSE(edit.IsActive());
    EXPECT_EQ(OutlinePixel(), kBorder);

    Click(5, 8);
    EXPECT_TRUE(edit.IsActive());
    EXPECT_TRUE(edit.WasClicked());
    EXPECT_EQ(edit.TextSnapshot(), kFolder);
    EXPECT_EQ(::GetFocus(), edit.m_hWnd);
    EXPECT_EQ(Selection(), std::make_pair(0, kFolderLength));
    EXPECT_EQ(OutlinePixel(), kActive);

    Click(5, 8);
    auto second = Selection();
    EXPECT_EQ(second.first, second.second);
    EXPECT_LT(second.first, kFolderLength);

    // Losing the focus ends the active state and the lit outline.
    ::SetFocus(other);
    EXPECT_FALSE(edit.IsActive());
    EXPECT_EQ(OutlinePixel(), kBorder);
}

TEST_F(PelEditTest, EnterPutsTheCaretAtTheEnd)
{
    edit.SetSel(0, 0);
    edit.SendMessage(WM_CHAR, VK_RETURN, 0);
    EXPECT_EQ(Selection(), std::make_pair(kFolderLength, kFolderLength));
    edit.SetSel(0, 0);
    edit.SendMessage(WM_CHAR, 'x', 0);
    EXPECT_EQ(Selection(), std::make_pair(1, 1));
}

TEST_F(PelEditTest, ReadOnlyFieldDrawsGreyTextAndNeverTheActiveOutline)
{
    edit.SetReadOnly(true);
    Click(5, 8);
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(OutlinePixel(), kBorder);

    // Read-only edits ask with WM_CTLCOLORSTATIC; the answer comes from the control.
    HDC dc = ::GetDC(edit);
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit.m_hWnd)));
    COLORREF text = ::GetTextColor(dc);
    ::ReleaseDC(edit, dc);
    EXPECT_EQ(brush, edit.BackgroundBrush());
    EXPECT_EQ(text, ::GetSysColor(COLOR_GRAYTEXT));

    ::RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CapturedImage shot = CaptureClient(edit);
    RECT all = {0, 0, shot.Width(), shot.Height()};
    EXPECT_EQ(shot.CountColour(all, 0xFFFFFF), 0);
    EXPECT_GT(shot.CountColour(all, ::GetSysColor(COLOR_GRAYTEXT)), 0);
}

TEST_F(PelEditTest, DisabledFieldUsesGreyTextToo)
{
    edit.EnableWindow(FALSE);
    HDC dc = ::GetDC(edit);
    ::SendMessageW(host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(edit.m_hWnd));
    EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_GRAYTEXT));
    edit.EnableWindow(TRUE);
    ::SendMessageW(host, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(edit.m_hWnd));
    EXPECT_EQ(::GetTextColor(dc), edit.TextColor());
    ::ReleaseDC(edit, dc);
}

namespace {

bool g_menuSeen = false;

void CALLBACK CloseAnyMenu(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    if (menu && ::IsWindowVisible(menu)) {
        g_menuSeen = true;
        ::EndMenu();
    }
}

} // namespace

TEST_F(PelEditTest, RightClickSelectsAllWithoutAContextMenuThenClears)
{
    g_menuSeen = false;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CloseAnyMenu);
    edit.PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 8));
    edit.PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(5, 8));
    testing_support::PumpPreTranslated(host, 300);
    EXPECT_FALSE(g_menuSeen);
    EXPECT_TRUE(edit.IsActive());
    EXPECT_EQ(::GetFocus(), edit.m_hWnd);
    EXPECT_EQ(Selection(), std::make_pair(0, kFolderLength));

    // Already active: the second right click clears the selection.
    edit.PostMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 8));
    edit.PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(5, 8));
    testing_support::PumpPreTranslated(host, 300);
    ::KillTimer(nullptr, timer);
    EXPECT_FALSE(g_menuSeen);
    auto cleared = Selection();
    EXPECT_EQ(cleared.first, cleared.second);
}

TEST_F(PelEditTest, ClipboardShortcutsAreHandledAndConsumed)
{
    ::SetFocus(edit);
    ASSERT_TRUE(PutOnClipboard(host, L"D:\\Elsewhere"));

    // Paste not allowed: neither Shift+Insert nor a paste message pastes.
    wchar_t text[100] = {};
    edit.SetPasteAllowed(false);
    {
        CCtrlHeld shift(true);
        edit.SetSel(0, -1);
        edit.PostMessage(WM_KEYDOWN, VK_INSERT, 0);
        testing_support::PumpPreTranslated(host, 100);
    }
    edit.SendMessage(WM_PASTE);
    ::GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, kFolder);

    CCtrlHeld ctrl;
    // Paste not allowed: Ctrl+V is consumed and nothing is pasted.
    edit.SetPasteAllowed(false);
    edit.SetSel(0, -1);
    edit.PostMessage(WM_KEYDOWN, 'V', 0);
    testing_support::PumpPreTranslated(host, 100);
    ::GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, kFolder);

    // Allowed: the clipboard text replaces the selection.
    edit.SetPasteAllowed(true);
    edit.SetSel(0, -1);
    edit.PostMessage(WM_KEYDOWN, 'V', 0);
    testing_support::PumpPreTranslated(host, 100);
    ::GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, L"D:\\Elsewhere");

    // Ctrl+A selects all, Ctrl+C copies it, Ctrl+X cuts it.
    edit.SetSel(0, 0);
    edit.PostMessage(WM_KEYDOWN, 'A', 0);
    testing_support::PumpPreTranslated(host, 100);
    EXPECT_EQ(Selection(), std::make_pair(0, 12));
    ::SetWindowTextW(edit, L"copied");
    edit.SetSel(0, -1);
    edit.PostMessage(WM_KEYDOWN, 'C', 0);
    testing_support::PumpPreTranslated(host, 100);
    EXPECT_EQ(ClipboardText(host), L"copied");
    edit.SetSel(0, 3);
    edit.PostMessage(WM_KEYDOWN, 'X', 0);
    testing_support::PumpPreTranslated(host, 100);
    ::GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, L"ied");
    EXPECT_EQ(ClipboardText(host), L"cop");
}

TEST_F(PelEditTest, KeyboardFocusShowsTheCueOnTheOutlineTheMouseDoesNot)
{
    InitThemePalette();
    Click(5, 8); // focused and active by the mouse: the lit outline, no cue
    ASSERT_EQ(::GetFocus(), edit.m_hWnd);
    EXPECT_EQ(OutlinePixel(), kActive);
    ::SetFocus(other);
    PumpMessages(20);
    ShowFocusCues(host.m_hWnd);
    ::SetFocus(edit); // as Tab gives it the focus
    EXPECT_EQ(OutlinePixel(), Palette().FocusCue);
    EXPECT_EQ(CaptureWindow(edit).Pixel(11, 0), kBorder); // dotted
    ::SetFocus(other);
    EXPECT_EQ(OutlinePixel(), kBorder);
}

TEST_F(PelEditTest, RepaintingDoesNotLeakGdiObjects)
{
    Click(5, 8);
    for (int i = 0; i < 20; ++i)
        ::RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    int before = testing_support::CountLiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        edit.SetBackgroundColor(i % 2 ? kField : 0x101010);
        ::RedrawWindow(edit, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    int after = testing_support::CountLiveGdiObjects();
    EXPECT_LE(after, before + 5);
}
