// The window and dialog classes of the framework stand-in, with real windows.
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "DialogTemplateWords.h"

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
class CTemplate : public testing_support::CTemplateWords
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

private:
    void Button(WORD id, const wchar_t* text, WORD x)
    {
        Align(); // items start on a DWORD boundary
        Dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
        Dword(0);
        Word(x), Word(35), Word(50), Word(14);
        Word(id);
        Word(0xFFFF), Word(0x0080); // button class
        Text(text);
        Word(0); // no creation data
    }
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

namespace {

// A child control object that takes reflected notifications.
class CReflectingButton : public CButton
{
public:
    bool consumeCommand = false;
    int drawItems = 0;
    int commands = 0;
    bool preSubclassSawWindow = false;
    HBRUSH brush = reinterpret_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    int keyDowns = 0;

    void PreSubclassWindow() override
    {
        preSubclassSawWindow = m_hWnd != nullptr && CWnd::FromHandle(m_hWnd) == this;
        ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    }

    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        switch (msg) {
        case WM_DRAWITEM:
            ++drawItems;
            *result = TRUE;
            return true;
        case WM_CTLCOLORBTN:
            *result = reinterpret_cast<LRESULT>(brush);
            return true;
        case WM_COMMAND:
            ++commands;
            *result = 0;
            return consumeCommand;
        }
        return CButton::OnChildNotify(msg, wParam, lParam, result);
    }

    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && msg->wParam == 'Q') {
            ++keyDowns;
            return true;
        }
        return false;
    }
};

class CCommandCountingWnd : public CRecordingWnd
{
public:
    int commands = 0;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND)
            ++commands;
        return CRecordingWnd::WindowProc(msg, wParam, lParam);
    }
};

} // namespace

TEST(FrameworkControls, SubclassedChildGetsStyleHookAndReflectedNotifications)
{
    RegisterTestClass();
    CCommandCountingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, kTestClass, L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                300, 200, nullptr, nullptr));
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                                    10, 80, 30, parent, reinterpret_cast<HMENU>(42),
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button, nullptr);

    CReflectingButton child;
    ASSERT_TRUE(child.SubclassDlgItem(42, parent));
    EXPECT_TRUE(child.preSubclassSawWindow);
    EXPECT_EQ(child.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
    EXPECT_FALSE(CReflectingButton().SubclassDlgItem(43, parent)); // no such item

    // Owner-draw requests reach the child's object, not the parent's WindowProc.
    ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(child.drawItems, 1);
    EXPECT_FALSE(parent.Saw(WM_DRAWITEM));

    // Control colours come from the child.
    HDC dc = ::GetDC(button);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(button)));
    ::ReleaseDC(button, dc);
    EXPECT_EQ(brush, child.brush);

    // A notification the child does not consume still reaches the parent; one it consumes
    // does not.
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(child.commands, 1);
    EXPECT_EQ(parent.commands, 1);
    child.consumeCommand = true;
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(child.commands, 2);
    EXPECT_EQ(parent.commands, 1);

    parent.DestroyWindow();
}

TEST(FrameworkControls, ModalLoopOffersKeysToTheFocusedControlFirst)
{
    class CHostDialog : public CDialog
    {
    public:
        using CDialog::CDialog;
        CReflectingButton button;
        int dialogKeys = 0;
        BOOL OnInitDialog() override
        {
            HWND item = ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 5,
                                          60, 20, m_hWnd, reinterpret_cast<HMENU>(7),
                                          ::GetModuleHandleW(nullptr), nullptr);
            button.SubclassWindow(item);
            ::SetFocus(item);
            ::PostMessageW(item, WM_KEYDOWN, 'Q', 0);
            ::PostMessageW(item, WM_KEYDOWN, 'W', 0);
            ::PostMessageW(m_hWnd, WM_COMMAND, IDOK, 0);
            return FALSE;
        }
        bool PreTranslateMessage(MSG* msg) override
        {
            if (msg->message == WM_KEYDOWN)
                ++dialogKeys;
            return false;
        }
    };

    // An in-memory template keeps the test free of resources.
    struct
    {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {{WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 0, 0, 100, 60}, 0, 0, 0};
    CHostDialog dialog(0);
    dialog.InitModalIndirect(&tpl.t);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.button.keyDowns, 1); // 'Q' taken by the control
    EXPECT_EQ(dialog.dialogKeys, 1);      // only 'W' walked on to the dialog
}

TEST(FrameworkControls, ModifyStyleReportsChangesAndComboTextIsSafe)
{
    RegisterTestClass();
    CRecordingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, kTestClass, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr));
    HWND combo = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST | CBS_HASSTRINGS,
                                   0, 0, 100, 200, parent, reinterpret_cast<HMENU>(5),
                                   ::GetModuleHandleW(nullptr), nullptr);
    CComboBox box;
    ASSERT_TRUE(box.SubclassWindow(combo));
    EXPECT_TRUE(box.ModifyStyle(0, WS_TABSTOP));
    EXPECT_FALSE(box.ModifyStyle(0, WS_TABSTOP)); // nothing left to change
    EXPECT_TRUE(box.GetStyle() & WS_TABSTOP);
    box.AddString(L"English");
    box.AddString(L"Deutsch");
    EXPECT_EQ(box.GetCount(), 2);
    EXPECT_EQ(box.GetLBText(1), L"Deutsch");
    EXPECT_EQ(box.GetLBText(5), L"");
    EXPECT_EQ(box.GetLBText(-1), L"");
    parent.DestroyWindow();
}

TEST(FrameworkDialog, ModalDialogIsShownUnlessItAsksToStayHidden)
{
    class CVisibilityDialog : public CDialog
    {
    public:
        using CDialog::CDialog;
        bool hide = false;
        bool visibleInLoop = false;
        BOOL OnInitDialog() override
        {
            if (hide)
                KeepHidden();
            ::PostMessageW(m_hWnd, WM_APP, 0, 0);
            return TRUE;
        }
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
        {
            if (msg == WM_APP) {
                visibleInLoop = ::IsWindowVisible(m_hWnd) != FALSE;
                EndDialog(IDOK);
                return 0;
            }
            return CDialog::WindowProc(msg, wParam, lParam);
        }
    };
    // No WS_VISIBLE in the template: the dialog manager leaves showing to DoModal.
    struct
    {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {{WS_POPUP | WS_CAPTION, 0, 0, 0, 0, 100, 60}, 0, 0, 0};
    CVisibilityDialog shown(0);
    shown.InitModalIndirect(&tpl.t);
    EXPECT_EQ(shown.DoModal(), IDOK);
    EXPECT_TRUE(shown.visibleInLoop);

    CVisibilityDialog hidden(0);
    hidden.hide = true;
    hidden.InitModalIndirect(&tpl.t);
    EXPECT_EQ(hidden.DoModal(), IDOK);
    EXPECT_FALSE(hidden.visibleInLoop);
}
