// Hosting windows under test the way the installer hosts them: the installer's resources
// opened as data; one shown top-level framework window that hosts controls, or plays the
// main dialog for a wizard panel, and records what its children ask of it; a pump that
// pre-translates like the framework's modal loop; real message boxes answered from a watcher
// thread; links and product starts recorded instead of handed to the shell; and steps run
// inside a real modal run of the main dialog from an in-memory template.
#pragma once

#include "controls/Dpi.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "panels/GuidePanel.h"
#include "panels/PanelHost.h"
#include "panels/PanelShell.h"

#include "CaptureTestSupport.h"
#include "GdiTestSupport.h"
#include "DialogTemplateWords.h"
#include "WinTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Keyboard cues as Windows has them out of the box: hidden until the keyboard is used (Wine's
// default is to always show them). The setting holds for the whole session, so the installers
// the end-to-end tests start see it too; every test program sets the same value, so that
// programs running side by side agree.
inline const bool kKeyboardCuesHiddenUntilUsed =
    ::SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, nullptr, 0) != FALSE;

// The installer loaded as a data file: dialog templates, pictures and the icon.
inline HMODULE InstallerModule()
{
    static CModuleHandle module(::LoadLibraryExW(
        InstallerExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

// ---- the host window ----------------------------------------------------------------------

struct RecordedCommand
{
    int id;
    int code;
    HWND from;
};

// A shown topmost framework window whose children are the windows under test. It records
// the notifications its children send or post and whether it was destroyed.
class CControlHost : public CWnd
{
public:
    // The window class, for tests that make windows of their own with the host's procedure.
    static constexpr wchar_t kClassName[] = L"PelTestHost";

    std::vector<RecordedCommand> commands;
    std::atomic<bool> destroyed{false};

    ~CControlHost() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

    // A topmost popup at (x, y) of the given size, shown, on screen and in the foreground.
    // background erases its client area (null: left to the children that cover it).
    bool Create(int x = 40, int y = 40, int width = 420, int height = 320,
                HBRUSH background = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)))
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        ::RegisterClassW(&wc); // fails harmlessly once registered
        m_background = background;
        if (!CreateEx(WS_EX_TOPMOST, kClassName, L"test host", WS_POPUP | WS_VISIBLE, x, y,
                      width, height, nullptr, nullptr))
            return false;
        ::SetForegroundWindow(m_hWnd);
        ::UpdateWindow(m_hWnd);
        PumpMessages(20);
        return true;
    }

    // A child of a system class (BUTTON, STATIC) for a control object to subclass.
    HWND AddChild(const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
                  int width, int height)
    {
        return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
                                 height, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    }

    int CountCommands(int id, int code) const
    {
        int n = 0;
        for (const RecordedCommand& c : commands)
            if (c.id == id && c.code == code)
                ++n;
        return n;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_COMMAND:
            if (lParam)
                commands.push_back(
                    {LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
            break;
        case WM_ERASEBKGND:
            if (m_background) {
                RECT client{};
                GetClientRect(&client);
                ::FillRect(reinterpret_cast<HDC>(wParam), &client, m_background);
                return 1;
            }
            break;
        case WM_DESTROY:
            destroyed = true;
            break;
        }
        return CWnd::WindowProc(msg, wParam, lParam);
    }

private:
    HBRUSH m_background = nullptr;
};

// Plays the main dialog for one wizard panel: a host of the default panel size whose client
// area the panel fills. Records the panel switches and fits the panel asks for.
class CPanelTestHost : public CControlHost, public IPanelHost
{
public:
    explicit CPanelTestHost(int currentPanel = PANEL_STATUS) : current(currentPanel) {}

    PanelRunFlags flags;
    std::vector<int> switches;
    std::atomic<int> switchCount{0};
    int fits = 0;
    int current;
    int lastPanel = PANEL_SUCCESS; // highest index HasPanel answers for

    bool Create()
    {
        const ScaledConstants& constants = ThemeConstants();
        return CControlHost::Create(10, 10, constants.panelWidth, constants.panelHeight, nullptr);
    }

    // Creates the panel from the installer's template as this window's child, filling it.
    bool AddPanel(CGuidePanel& panel)
    {
        panel.SetResourceInstance(InstallerModule());
        panel.SetImageModule(InstallerModule());
        if (!panel.Create(m_hWnd))
            return false;
        m_panel = &panel;
        RECT client{};
        GetClientRect(&client);
        ::MoveWindow(panel, 0, 0, client.right, client.bottom, TRUE);
        ::ShowWindow(panel, SW_SHOW);
        ::UpdateWindow(panel);
        PumpMessages(20);
        return true;
    }

    const PanelRunFlags& RunFlags() const override { return flags; }
    bool SwitchToPanel(int index) override
    {
        if (!HasPanel(index))
            return false;
        switches.push_back(index);
        ++switchCount;
        current = index;
        return true;
    }
    // Takes the panel's size as the main dialog does (the panel follows through WM_SIZE).
    void FitToPanel() override
    {
        ++fits;
        if (!m_panel)
            return;
        SIZE size = m_panel->GetPanelSize();
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    }
    int CurrentPanel() const override { return current; }
    bool HasPanel(int index) const override { return index >= 0 && index <= lastPanel; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_SIZE && m_panel && m_panel->m_hWnd)
            ::MoveWindow(m_panel->m_hWnd, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return CControlHost::WindowProc(msg, wParam, lParam);
    }

private:
    CGuidePanel* m_panel = nullptr;
};

// Dispatches this thread's messages for about the given time, offering each to the objects
// from its window up to top first, as the framework's modal loop does.
inline void PumpPreTranslated(HWND top, DWORD milliseconds)
{
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (CWnd::WalkPreTranslateTree(top, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(1);
    } while (::GetTickCount() - start < milliseconds);
}

// The rectangle of a child window in its parent's client coordinates.
inline RECT ChildRect(HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// ---- message boxes ------------------------------------------------------------------------

// Whether a window is a shown dialog-box window ("#32770", the class of message boxes). The
// class name needs no message to the window's thread, which may be waiting for the caller.
inline bool IsShownDialogBox(HWND hwnd)
{
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    return lstrcmpW(cls, L"#32770") == 0 && ::IsWindowVisible(hwnd);
}

// A message box as the watcher found it.
struct SeenBox
{
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    UINT buttons = 0; // MB_RETRYCANCEL, MB_YESNO, MB_OK as far as the buttons tell
};

// Watches on a thread of its own for message boxes of this process with the given caption.
// For the n-th box it records the box, runs onBox(n) (on the watcher thread, while the box
// is still up), then presses buttons[n] (the last entry for later boxes).
class CBoxWatcher
{
public:
    CBoxWatcher(std::wstring caption, std::vector<int> buttons,
                std::function<void(int)> onBox = nullptr)
        : m_caption(std::move(caption)), m_buttons(std::move(buttons)),
          m_onBox(std::move(onBox)), m_thread([this] { Watch(); })
    {
    }
    ~CBoxWatcher() { Stop(); }
    CBoxWatcher(const CBoxWatcher&) = delete;
    CBoxWatcher& operator=(const CBoxWatcher&) = delete;

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int Count()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(m_boxes.size());
    }
    SeenBox Box(size_t i)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return i < m_boxes.size() ? m_boxes[i] : SeenBox{};
    }

private:
    struct Search
    {
        const std::wstring* caption;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND hwnd, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t caption[256] = {};
        if (pid != ::GetCurrentProcessId())
            return TRUE;
        // GetWindowTextW would send WM_GETTEXT to the test's own thread, which may be
        // waiting for this watcher to stop; the stored text needs no message.
        ::InternalGetWindowText(hwnd, caption, 256);
        if (*search->caption == caption && IsShownDialogBox(hwnd)) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    void Watch()
    {
        while (!m_stop) {
            Search search{&m_caption, nullptr};
            ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
            if (!search.found) {
                ::Sleep(20);
                continue;
            }
            ::Sleep(50); // let the box finish its set-up
            SeenBox box;
            box.caption = m_caption;
            wchar_t text[2048] = {};
            ::GetDlgItemTextW(search.found, 0xFFFF, text, 2048);
            box.text = text;
            box.owner = ::GetWindow(search.found, GW_OWNER);
            if (::GetDlgItem(search.found, IDRETRY))
                box.buttons = MB_RETRYCANCEL;
            else if (::GetDlgItem(search.found, IDYES))
                box.buttons = MB_YESNO;
            else
                box.buttons = MB_OK;
            int index = 0;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                index = static_cast<int>(m_boxes.size());
                m_boxes.push_back(box);
            }
            if (m_onBox)
                m_onBox(index);
            const int button = m_buttons.empty()
                                   ? IDCANCEL
                                   : m_buttons[std::min<size_t>(index, m_buttons.size() - 1)];
            ::PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(search.found, button)));
            for (int i = 0; i < 200 && ::IsWindow(search.found); ++i)
                ::Sleep(10);
        }
    }

    std::wstring m_caption;
    std::vector<int> m_buttons;
    std::function<void(int)> m_onBox;
    std::mutex m_lock;
    std::vector<SeenBox> m_boxes;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Whether this thread shows a message box (a shown dialog-box window other than except).
inline bool MessageBoxOpen(HWND except)
{
    struct Search
    {
        HWND except;
        bool found;
    } search{except, false};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (hwnd != s->except && IsShownDialogBox(hwnd)) {
                s->found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- the shell ----------------------------------------------------------------------------

// Replaces the shell for the links and product starts of the panels while it lives.
class CShellRecorder
{
public:
    CShellRecorder()
    {
        SetWebAddressOpenerForTesting([this](const std::wstring& url) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_urls.push_back(url);
        });
        SetProductLauncherForTesting([this](const std::wstring& path) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_launches.push_back(path);
            m_launchTick = ::GetTickCount();
        });
    }
    ~CShellRecorder()
    {
        SetWebAddressOpenerForTesting(nullptr);
        SetProductLauncherForTesting(nullptr);
    }
    CShellRecorder(const CShellRecorder&) = delete;
    CShellRecorder& operator=(const CShellRecorder&) = delete;

    std::vector<std::wstring> Urls()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_urls;
    }
    std::vector<std::wstring> Launches()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_launches;
    }
    DWORD LaunchTick()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_launchTick;
    }

private:
    std::mutex m_lock;
    std::vector<std::wstring> m_urls;
    std::vector<std::wstring> m_launches;
    DWORD m_launchTick = 0;
};

// ---- the main dialog in a modal run -------------------------------------------------------

// The main dialog's template as the resource has it, but of the default dialog class (the
// test process has not registered the installer's class).
class CGuideTemplate : public CTemplateWords
{
public:
    CGuideTemplate()
    {
        Dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
              WS_CLIPCHILDREN);
        Dword(0);
        Word(0);
        Word(0), Word(0), Word(260), Word(90);
        Word(0), Word(0);
        Text(L"Installer");
        Word(8);
        Text(L"MS Shell Dlg");
    }
};

// Runs steps inside a modal run of the dialog, one per tick of a thread timer, so that the
// framework's own loop (with its key handling) dispatches everything in between. A run that
// is still going a while after the last step is ended by destroying the window.
class CModalScript
{
public:
    INT_PTR Run(CDialog& dialog, std::vector<std::function<void()>> steps)
    {
        s_self = this;
        m_dialog = &dialog;
        m_steps = std::move(steps);
        m_next = 0;
        m_idleTicks = 0;
        m_timer = ::SetTimer(nullptr, 0, 60, &Tick);
        INT_PTR result = dialog.DoModal();
        ::KillTimer(nullptr, m_timer);
        s_self = nullptr;
        return result;
    }
    // While this holds, no step runs (and the idle time does not count).
    void WaitWhile(std::function<bool()> condition) { m_waitWhile = std::move(condition); }
    size_t StepsRun() const { return m_next; }
    bool TimedOut() const { return m_timedOut; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        CModalScript* self = s_self;
        if (!self || self->m_busy)
            return;
        self->m_busy = true;
        if (self->m_waitWhile && self->m_waitWhile()) {
            // A step's modal consequence (a message box) is still open; its own loop
            // dispatches our ticks, so the next step must not run inside it.
        } else if (self->m_next < self->m_steps.size()) {
            self->m_steps[self->m_next++]();
        } else if (++self->m_idleTicks > 40 && self->m_dialog->m_hWnd) {
            self->m_timedOut = true;
            ::DestroyWindow(self->m_dialog->m_hWnd);
        }
        self->m_busy = false;
    }

    static inline CModalScript* s_self = nullptr;
    CDialog* m_dialog = nullptr;
    std::vector<std::function<void()>> m_steps;
    std::function<bool()> m_waitWhile;
    size_t m_next = 0;
    int m_idleTicks = 0;
    UINT_PTR m_timer = 0;
    bool m_busy = false;
    bool m_timedOut = false;
};

// ---- pictures -----------------------------------------------------------------------------

// Whether two colours differ by at most tolerance in each channel (anti-aliasing and
// colour conversion may move a value by one).
inline bool NearColour(COLORREF a, COLORREF b, int tolerance = 2)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The bounding box of the pixels of rect that are not near the colour; empty when none.
inline RECT BoxOfOtherPixels(const CapturedImage& image, const RECT& rect, COLORREF colour,
                             int tolerance = 24)
{
    RECT box = {rect.right, rect.bottom, rect.left, rect.top};
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (!NearColour(image.Pixel(x, y), colour, tolerance)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    if (box.left >= box.right)
        box = RECT{0, 0, 0, 0};
    return box;
}

} // namespace testing_support
