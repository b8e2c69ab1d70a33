// Hosting a real wizard panel (from the installer's own dialog template) in a small shown
// window that plays the main dialog, recording what the panel asks of it; answering the
// panel's real message boxes from a watcher thread; recording the links and product starts
// the panels would hand to the shell.
#pragma once

#include "controls/Dpi.h"
#include "framework/Handles.h"
#include "panels/GuidePanel.h"
#include "panels/PanelHost.h"
#include "panels/PanelShell.h"

#include "CaptureTestSupport.h"
#include "WinTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace panel_test {

// The installer loaded as a data file: dialog templates, pictures and the icon.
inline HMODULE InstallerModule()
{
    static CModuleHandle module(::LoadLibraryExW(
        testing_support::InstallerExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

// Plays the main dialog: a topmost shown window of the default panel size whose client area
// the panel fills. Records panel switches and whether the window was destroyed.
class CPanelTestHost : public CWnd, public IPanelHost
{
public:
    PanelRunFlags flags;
    std::vector<int> switches;
    std::atomic<int> switchCount{0};
    int current = PANEL_STATUS;
    int lastPanel = PANEL_SUCCESS; // highest index HasPanel answers for
    std::atomic<bool> destroyed{false};

    ~CPanelTestHost() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

    bool Create()
    {
        static const wchar_t kClass[] = L"PelWizardPanelTestHost";
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &CWnd::StaticWindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        ::RegisterClassW(&wc); // fails harmlessly once registered
        const ScaledConstants& constants = ThemeConstants();
        if (!CreateEx(WS_EX_TOPMOST, kClass, L"panel host", WS_POPUP | WS_VISIBLE, 10, 10,
                      constants.panelWidth, constants.panelHeight, nullptr, nullptr))
            return false;
        ::SetForegroundWindow(m_hWnd);
        return true;
    }

    // Creates the panel from the installer's template as this window's child, filling it.
    bool AddPanel(CGuidePanel& panel)
    {
        panel.SetResourceInstance(InstallerModule());
        panel.SetImageModule(InstallerModule());
        if (!panel.Create(m_hWnd))
            return false;
        RECT client{};
        GetClientRect(&client);
        ::MoveWindow(panel, 0, 0, client.right, client.bottom, TRUE);
        ::ShowWindow(panel, SW_SHOW);
        ::UpdateWindow(panel);
        testing_support::PumpMessages(20);
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
    void FitToPanel() override {}
    int CurrentPanel() const override { return current; }
    bool HasPanel(int index) const override { return index >= 0 && index <= lastPanel; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_DESTROY)
            destroyed = true;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

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
        wchar_t className[32] = {};
        wchar_t caption[256] = {};
        if (pid != ::GetCurrentProcessId())
            return TRUE;
        // GetWindowTextW would send WM_GETTEXT to the test's own thread, which may be
        // waiting for this watcher to stop; the stored text needs no message.
        ::GetClassNameW(hwnd, className, 32);
        ::InternalGetWindowText(hwnd, caption, 256);
        if (std::wstring(className) == L"#32770" && *search->caption == caption &&
            ::IsWindowVisible(hwnd)) {
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

// The rectangle of a child window in its parent's client coordinates.
inline RECT ChildRect(HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace panel_test
