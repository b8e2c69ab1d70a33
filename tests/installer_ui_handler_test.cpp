// The installer UI handler's message boxes, with real windows: the service's
// error text is shown on the installing thread, owned by the main window of
// the user-interface thread, with the product's short name as caption, and
// the user's answer goes back to the service.
#include "engine/InstallerUiHandler.h"

#include "config/InstallConfig.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// What the user-interface thread saw of the box and how it answered.
struct BoxSeen
{
    bool found = false;
    HWND owner = nullptr;
    std::wstring text;
    bool hasCancel = false;
    bool hasRetry = false;
};

// Sets a caption no other test uses as the install model's short name.
class ShortNameScope
{
public:
    ShortNameScope() : m_saved(TheInstallConfig().m_manifest.shortName)
    {
        caption = L"Pel Handler Test " + std::to_wstring(GetCurrentProcessId());
        TheInstallConfig().m_manifest.shortName = caption;
    }
    ~ShortNameScope() { TheInstallConfig().m_manifest.shortName = m_saved; }
    ShortNameScope(const ShortNameScope&) = delete;
    ShortNameScope& operator=(const ShortNameScope&) = delete;

    std::wstring caption;

private:
    std::wstring m_saved;
};

// The main window stand-in of the user-interface thread (this thread).
class OwnerWindow
{
public:
    OwnerWindow()
        : m_hwnd(CreateWindowExW(0, L"STATIC", L"Pel handler owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 50, 50, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 nullptr))
    {
    }
    ~OwnerWindow()
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

// Runs the handler on an installing thread of its own while this thread
// pumps messages, finds the box, reads it and presses `button`.
int RunWithBox(InstallerProgressState& state, UINT message, const wchar_t* text,
               const std::wstring& caption, int button, BoxSeen& seen)
{
    std::atomic<int> answer{-1};
    std::atomic<DWORD> installingThread{0};
    std::thread installing([&] {
        installingThread = GetCurrentThreadId();
        answer = InstallerUiHandler(&state, message, text);
    });
    const DWORD start = GetTickCount();
    bool pressed = false;
    while (answer == -1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        HWND box = FindWindowW(L"#32770", caption.c_str());
        if (box && !pressed &&
            GetWindowThreadProcessId(box, nullptr) == installingThread.load()) {
            seen.found = true;
            seen.owner = GetWindow(box, GW_OWNER);
            wchar_t buffer[512] = {};
            GetDlgItemTextW(box, 0xFFFF, buffer, 512);
            seen.text = buffer;
            seen.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
            seen.hasRetry = GetDlgItem(box, IDRETRY) != nullptr;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            pressed = true;
        }
        if (GetTickCount() - start > 20000 && box) // never hang on a box
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    installing.join();
    return answer;
}

} // namespace

TEST(InstallerUiHandlerBoxes, ErrorAnsweredCancelRecordsFailureKind5)
{
    ShortNameScope names;
    OwnerWindow owner;
    ASSERT_NE(owner.Get(), nullptr);
    InstallerProgressState state;
    state.ownerWindow = owner.Get();
    BoxSeen seen;
    const int answer =
        RunWithBox(state, INSTALLMESSAGE_ERROR | MB_OKCANCEL | MB_ICONERROR,
                   L"Error 1311. Source file not found.", names.caption, IDCANCEL, seen);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, owner.Get());
    EXPECT_EQ(seen.text, L"Error 1311. Source file not found.");
    EXPECT_TRUE(seen.hasCancel); // the service's box style reached the box
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(state.failureKind, kFailureErrorBoxCancelled);
}

TEST(InstallerUiHandlerBoxes, OtherAnswersGoBackWithoutAFailure)
{
    ShortNameScope names;
    OwnerWindow owner;
    InstallerProgressState state;
    state.ownerWindow = owner.Get();

    BoxSeen fatal;
    EXPECT_EQ(RunWithBox(state, INSTALLMESSAGE_FATALEXIT | MB_OK, L"Fatal error during installation.",
                         names.caption, IDOK, fatal),
              IDOK);
    EXPECT_TRUE(fatal.found);
    EXPECT_FALSE(fatal.hasCancel); // MB_OK: the OK button alone

    BoxSeen disk;
    EXPECT_EQ(RunWithBox(state, INSTALLMESSAGE_OUTOFDISKSPACE | MB_RETRYCANCEL,
                         L"Out of disk space.", names.caption, IDRETRY, disk),
              IDRETRY);
    EXPECT_TRUE(disk.found);
    EXPECT_TRUE(disk.hasRetry);
    EXPECT_EQ(state.failureKind, 0);
}

TEST(InstallerUiHandlerBoxes, WarningsAndUserMessagesShowNothing)
{
    ShortNameScope names;
    OwnerWindow owner;
    InstallerProgressState state;
    state.ownerWindow = owner.Get();
    for (UINT type : {INSTALLMESSAGE_WARNING, INSTALLMESSAGE_USER}) {
        BoxSeen seen;
        EXPECT_EQ(RunWithBox(state, type | MB_OKCANCEL, L"not for the user", names.caption,
                             IDCANCEL, seen),
                  IDOK);
        EXPECT_FALSE(seen.found) << type;
    }
    EXPECT_EQ(state.failureKind, 0);
}
