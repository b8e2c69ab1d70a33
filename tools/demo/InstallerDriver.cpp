#include "tools/demo/InstallerDriver.h"

#include <objidl.h>
#include <gdiplus.h>

namespace driver {

CProgram::~CProgram()
{
    Kill();
}

bool CProgram::Start(const std::wstring& exe, const std::wstring& args, const std::wstring& folder)
{
    Kill();
    std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
    buffer.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_pid = pi.dwProcessId;
    return true;
}

bool CProgram::Running() const
{
    return m_process && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

long CProgram::WaitExit(DWORD timeoutMs)
{
    if (!m_process || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    return static_cast<long>(code);
}

void CProgram::Kill()
{
    if (!m_process)
        return;
    if (Running()) {
        ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, 5000);
    }
    ::CloseHandle(m_process);
    m_process = nullptr;
    m_pid = 0;
}

namespace {

struct TopWindowQuery
{
    DWORD pid;
    const wchar_t* className;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND hwnd, LPARAM param)
{
    auto* query = reinterpret_cast<TopWindowQuery*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != query->pid || (query->visibleOnly && !::IsWindowVisible(hwnd)))
        return TRUE;
    if (query->className) {
        wchar_t cls[64] = L"";
        ::GetClassNameW(hwnd, cls, 64);
        if (lstrcmpiW(cls, query->className) != 0)
            return TRUE;
    }
    query->found.push_back(hwnd);
    return TRUE;
}

struct ChildQuery
{
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleDialogChild(HWND hwnd, LPARAM param)
{
    wchar_t cls[16] = L"";
    ::GetClassNameW(hwnd, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && ::IsWindowVisible(hwnd))
        reinterpret_cast<ChildQuery*>(param)->found.push_back(hwnd);
    return TRUE;
}

HWND VisiblePanel(HWND main)
{
    ChildQuery query;
    ::EnumChildWindows(main, &CollectVisibleDialogChild, reinterpret_cast<LPARAM>(&query));
    for (HWND panel : query.found)
        if (::GetParent(panel) == main)
            return panel;
    return nullptr;
}

const int kSettingsInstallButton = 133;
const int kStatusStateText = 122;
const int kSuccessLaunchCheck = 150;
const int kValidatorMarquee = 171;
const int kMessageBoxText = 0xFFFF;

bool ProcessEnded(HANDLE process)
{
    return process && ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

} // namespace

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* className, bool visibleOnly)
{
    TopWindowQuery query = {pid, className, visibleOnly, {}};
    ::EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitMainWindow(DWORD pid, DWORD timeoutMs, bool mustBeVisible)
{
    DWORD start = ::GetTickCount();
    do {
        std::vector<HWND> windows = TopWindows(pid, kMainClass, mustBeVisible);
        if (!windows.empty())
            return windows.front();
        ::Sleep(25);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

HWND FindValidatorWindow(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid, L"#32770", false))
        if (::GetDlgItem(hwnd, kValidatorMarquee))
            return hwnd;
    return nullptr;
}

int ShownPanel(HWND main)
{
    HWND panel = VisiblePanel(main);
    if (!panel)
        return NoPanel;
    if (::GetDlgItem(panel, kSettingsInstallButton))
        return SettingsPanel;
    if (::GetDlgItem(panel, kStatusStateText))
        return StatusPanel;
    if (::GetDlgItem(panel, kSuccessLaunchCheck))
        return SuccessPanel;
    return NoPanel;
}

bool WaitForPanel(HWND main, int panel, DWORD timeoutMs, HANDLE process)
{
    DWORD start = ::GetTickCount();
    do {
        if (::IsWindow(main) && ShownPanel(main) == panel) {
            // A panel that has just appeared may still be taking the activation from the
            // system; a click in those first moments can lose its capture. A person looks
            // before clicking anyway.
            ::Sleep(200);
            return true;
        }
        if (ProcessEnded(process) || !::IsWindow(main))
            return false;
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

HWND PanelControl(HWND main, int id)
{
    HWND panel = VisiblePanel(main);
    return panel ? ::GetDlgItem(panel, id) : nullptr;
}

std::wstring WindowText(HWND hwnd)
{
    if (!hwnd)
        return std::wstring();
    // WM_GETTEXT reads the text of another process's window too (GetWindowText does not
    // for controls).
    LRESULT length = ::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = ::SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

bool Click(HWND control)
{
    if (!control || !::IsWindow(control))
        return false;
    RECT rc = {};
    ::GetClientRect(control, &rc);
    POINT centre = {(rc.right - rc.left) / 2, (rc.bottom - rc.top) / 2};
    LPARAM at = MAKELPARAM(centre.x, centre.y);
    // The pointer goes there too, so that what the system reports about it agrees with the
    // messages.
    POINT screen = centre;
    ::ClientToScreen(control, &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::Sleep(50);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(control, WM_LBUTTONUP, 0, at);
    return true;
}

bool WaitMessageBox(DWORD pid, DWORD timeoutMs, MessageBoxInfo* box)
{
    DWORD start = ::GetTickCount();
    do {
        for (HWND hwnd : TopWindows(pid, L"#32770", true)) {
            HWND text = ::GetDlgItem(hwnd, kMessageBoxText);
            if (!text)
                continue;
            box->hwnd = hwnd;
            box->caption = WindowText(hwnd);
            box->text = WindowText(text);
            return true;
        }
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return false;
}

bool AnswerMessageBox(const MessageBoxInfo& box, int buttonId)
{
    HWND button = ::GetDlgItem(box.hwnd, buttonId);
    if (!button)
        return false;
    return ::PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != FALSE;
}

namespace {

// The PNG encoder of GDI+ ({557CF406-1A04-11D3-9A73-0000F81EF32E}).
const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

bool SaveBitmapPng(HBITMAP bitmap, const std::wstring& path)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    {
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            saved = Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &kPngEncoder,
                                                             nullptr) == Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

} // namespace

bool SaveWindowPng(HWND hwnd, const std::wstring& path)
{
    if (!hwnd || !::IsWindowVisible(hwnd))
        return false;
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(300); // the other process paints in its own time
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    int width = rc.right - rc.left;
    int height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0)
        return false;
    // The screen holds what the window shows, children and frame included.
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    BOOL copied = ::BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(memory, old);
    bool saved = copied && SaveBitmapPng(bitmap, path);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

bool SemaphoreExists(const wchar_t* name)
{
    HANDLE semaphore = ::OpenSemaphoreW(SYNCHRONIZE, FALSE, name);
    if (!semaphore)
        return false;
    ::CloseHandle(semaphore);
    return true;
}

} // namespace driver
