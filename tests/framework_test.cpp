// The window and dialog classes of the framework stand-in, with real windows.
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kTestClass[] = L"PelFrameworkTestWindow";

void RegisterTestClass()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CWnd::StaticWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kTestClass;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ::RegisterClassW(&wc); // fails harmlessly when an earlier test registered it
}

// Records the messages it sees and what it knows while seeing them.
class CRecordingWnd : public CWnd
{
public:
    std::vector<UINT> messages;
    HWND hwndAtCreate = nullptr;
    int finalCalls = 0;
    bool swallowSetText = false;
    bool painted = false;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        messages.push_back(msg);
        switch (msg) {
        case WM_CREATE:
            hwndAtCreate = m_hWnd;
            break;
        case WM_SETTEXT:
            if (swallowSetText)
                return TRUE;
            break;
        case WM_PAINT: {
            CPaintDC dc(m_hWnd);
            painted = dc.Get() != nullptr;
            return 0;
        }
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }

    bool Saw(UINT msg) const
    {
        for (UINT m : messages)
            if (m == msg)
                return true;
        return false;
    }

protected:
    void PostNcDestroy() override { ++finalCalls; }
};

TEST(FrameworkWindow, AttachesAtCreationAndDetachesAtDestruction)
{
    RegisterTestClass();
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kTestClass, L"test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                             nullptr, nullptr));
    HWND hwnd = wnd.m_hWnd;
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(hwnd, wnd.hwndAtCreate);
    ASSERT_FALSE(wnd.messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), wnd.messages.front());
    EXPECT_EQ(&wnd, CWnd::FromHandle(hwnd));

    // Default processing still works: the text goes to DefWindowProc.
    ::SetWindowTextW(hwnd, L"changed");
    wchar_t text[32] = {};
    ::GetWindowTextW(hwnd, text, 32);
    EXPECT_STREQ(L"changed", text);

    ::DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(1, wnd.finalCalls);
    EXPECT_TRUE(wnd.Saw(WM_NCDESTROY));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hwnd));
}

TEST(FrameworkWindow, PaintDcValidatesTheUpdateRegion)
{
    RegisterTestClass();
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kTestClass, L"paint", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                             nullptr, nullptr));
    ::InvalidateRect(wnd, nullptr, TRUE);
    ::UpdateWindow(wnd);
    EXPECT_TRUE(wnd.painted);
    EXPECT_FALSE(::GetUpdateRect(wnd, nullptr, FALSE));
    wnd.DestroyWindow();
}

TEST(FrameworkWindow, SubclassRoutesThroughWindowProcAndDefaultsToTheControl)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"before", WS_POPUP, 0, 0, 100, 20, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, edit);
    LONG_PTR original = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);

    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(edit));
    EXPECT_EQ(&wnd, CWnd::FromHandle(edit));
    CRecordingWnd other;
    EXPECT_FALSE(other.SubclassWindow(edit)); // one object per window

    ::SetWindowTextW(edit, L"after");
    EXPECT_TRUE(wnd.Saw(WM_SETTEXT));
    wchar_t text[32] = {};
    ::GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(L"after", text); // the edit control's own procedure stored it
    EXPECT_EQ(5, ::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));

    wnd.swallowSetText = true;
    ::SetWindowTextW(edit, L"ignored");
    ::GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(L"after", text);

    EXPECT_EQ(edit, wnd.UnsubclassWindow());
    EXPECT_EQ(original, ::GetWindowLongPtrW(edit, GWLP_WNDPROC));
    EXPECT_EQ(nullptr, CWnd::FromHandle(edit));
    size_t seen = wnd.messages.size();
    ::SetWindowTextW(edit, L"free");
    EXPECT_EQ(seen, wnd.messages.size());
    ::DestroyWindow(edit);
}

TEST(FrameworkWindow, ObjectDestroyedBeforeTheWindowHandsItBack)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"x", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, edit);
    LONG_PTR original = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
    {
        CRecordingWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(edit));
    }
    EXPECT_EQ(original, ::GetWindowLongPtrW(edit, GWLP_WNDPROC));
    ::SetWindowTextW(edit, L"still works");
    wchar_t text[32] = {};
    ::GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(L"still works", text);
    ::DestroyWindow(edit);
}

TEST(FrameworkWindow, DestroyingASubclassedWindowDetaches)
{
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"b", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(button));
    ::DestroyWindow(button);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(1, wnd.finalCalls);
}

// An in-memory dialog template: caption, MS Shell Dlg 8, one OK and one Cancel button.
class CTemplate
{
public:
    explicit CTemplate(DWORD style)
    {
        Dword(style | DS_SETFONT);
        Dword(0);      // extended style
        Word(2);       // controls
        Word(10), Word(10), Word(160), Word(60);
        Word(0);       // no menu
        Word(0);       // default class
        Text(L"Framework test");
        Word(8);
        Text(L"MS Shell Dlg");
        Button(IDOK, L"OK", 20);
        Button(IDCANCEL, L"Cancel", 90);
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t* s)
    {
        for (; *s; ++s)
            Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Button(WORD id, const wchar_t* text, WORD x)
    {
        if (m_words.size() % 2)
            Word(0); // items start on a DWORD boundary
        Dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
        Dword(0);
        Word(x), Word(35), Word(50), Word(14);
        Word(id);
        Word(0xFFFF), Word(0x0080); // button class
        Text(text);
        Word(0); // no creation data
    }
    std::vector<WORD> m_words;
};

class CTestDialog : public CDialog
{
public:
    explicit CTestDialog(HWND owner = nullptr)
        : CDialog(0, owner), m_template(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE)
    {
        InitModalIndirect(m_template.Get());
    }

    // What to do once the dialog is up.
    enum class Action { PostOk, PostClose, EndFromTimer, Destroy, EndInInit, PostQuit, PostApp };
    Action action = Action::PostOk;
    HWND hwndAtInit = nullptr;
    HWND ownerEnabledProbe = nullptr;
    BOOL ownerEnabledDuringModal = TRUE;
    int preTranslated = 0;
    int appMessagesHandled = 0;
    bool swallowApp = false;

protected:
    BOOL OnInitDialog() override
    {
        hwndAtInit = m_hWnd;
        if (ownerEnabledProbe)
            ownerEnabledDuringModal = ::IsWindowEnabled(ownerEnabledProbe);
        switch (action) {
        case Action::PostOk: PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)); break;
        case Action::PostClose: PostMessage(WM_CLOSE); break;
        case Action::EndFromTimer: ::SetTimer(m_hWnd, 1, 10, nullptr); break;
        case Action::Destroy: PostMessage(WM_APP + 1); break;
        case Action::EndInInit: EndDialog(7); break;
        case Action::PostQuit: ::PostQuitMessage(3); break;
        case Action::PostApp:
            PostMessage(WM_APP);
            PostMessage(WM_APP + 2);
            break;
        }
        return TRUE;
    }

    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->hwnd == m_hWnd && msg->message == WM_APP) {
            ++preTranslated;
            return swallowApp;
        }
        return false;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_TIMER:
            ::KillTimer(m_hWnd, 1);
            EndDialog(42);
            return 0;
        case WM_APP:
            ++appMessagesHandled;
            return 0;
        case WM_APP + 1:
            DestroyWindow();
            return 0;
        case WM_APP + 2:
            EndDialog(IDOK);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }

private:
    CTemplate m_template;
};

TEST(FrameworkDialog, EndsWithTheCommandOrEndDialogResult)
{
    CTestDialog ok;
    EXPECT_EQ(IDOK, ok.DoModal());
    EXPECT_NE(nullptr, ok.hwndAtInit);
    EXPECT_EQ(nullptr, ok.m_hWnd);
    EXPECT_FALSE(::IsWindow(ok.hwndAtInit)); // DoModal destroyed the window

    // WM_CLOSE reaches the dialog manager's default, which turns it into IDCANCEL.
    CTestDialog close;
    close.action = CTestDialog::Action::PostClose;
    EXPECT_EQ(IDCANCEL, close.DoModal());

    CTestDialog timer;
    timer.action = CTestDialog::Action::EndFromTimer;
    EXPECT_EQ(42, timer.DoModal());

    CTestDialog early;
    early.action = CTestDialog::Action::EndInInit;
    EXPECT_EQ(7, early.DoModal());
}

TEST(FrameworkDialog, DestroyingTheWindowEndsTheRunAtOnce)
{
    CTestDialog dialog;
    dialog.action = CTestDialog::Action::Destroy;
    EXPECT_EQ(-1, dialog.DoModal());
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

TEST(FrameworkDialog, QuitEndsTheRunAndIsLeftForTheOuterLoop)
{
    CTestDialog dialog;
    dialog.action = CTestDialog::Action::PostQuit;
    EXPECT_EQ(-1, dialog.DoModal());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

TEST(FrameworkDialog, PreTranslateMessageSeesQueuedMessagesFirst)
{
    CTestDialog passes;
    passes.action = CTestDialog::Action::PostApp;
    EXPECT_EQ(IDOK, passes.DoModal());
    EXPECT_EQ(1, passes.preTranslated);
    EXPECT_EQ(1, passes.appMessagesHandled);

    CTestDialog swallows;
    swallows.action = CTestDialog::Action::PostApp;
    swallows.swallowApp = true;
    EXPECT_EQ(IDOK, swallows.DoModal());
    EXPECT_EQ(1, swallows.preTranslated);
    EXPECT_EQ(0, swallows.appMessagesHandled);
}

TEST(FrameworkDialog, OwnerIsDisabledWhileModalAndEnabledAfter)
{
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, owner);
    CTestDialog dialog(owner);
    dialog.ownerEnabledProbe = owner;
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_FALSE(dialog.ownerEnabledDuringModal);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

TEST(FrameworkDialog, ModelessChildDialog)
{
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP | WS_VISIBLE, 0, 0, 300,
                                    200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, parent);
    CTestDialog child;
    child.action = CTestDialog::Action::PostApp;
    ASSERT_TRUE(child.Create(parent));
    EXPECT_EQ(child.m_hWnd, child.hwndAtInit);
    EXPECT_EQ(&child, CWnd::FromHandle(child.m_hWnd));
    EXPECT_EQ(parent, ::GetWindow(child.m_hWnd, GW_OWNER));
    // Its messages go through WindowProc from the caller's loop.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(1, child.appMessagesHandled);
    EXPECT_NE(nullptr, child.m_hWnd); // EndDialog does not end a modeless dialog
    ::DestroyWindow(parent);
    EXPECT_EQ(nullptr, child.m_hWnd);
}

} // namespace
