// A newly started process reads the DPI configured for the user. This changes
// HKCU\Control Panel\Desktop "LogPixels" of the whole prefix for a moment, so
// it lives in the runner whose tests never overlap.
#include "controls/Dpi.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Run by the test below in a new process of this runner, with PEL_DPI_REPORT
// naming a file: reads the screen through the real path and writes what it
// saw. Run on its own, it checks the real path against GetDeviceCaps.
TEST(ThemeDpiChild, ReportsScreenDpi)
{
    ResetScreenDpiForTesting();
    HDC dc = GetDC(nullptr);
    ASSERT_NE(nullptr, dc);
    const int x = GetDeviceCaps(dc, LOGPIXELSX);
    const int y = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(ScaleStepped(30, x), DpiScaleX(30)); // first use fills the cache
    EXPECT_EQ(x, ScreenDpiX());
    EXPECT_EQ(y, ScreenDpiY());

    wchar_t report[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"PEL_DPI_REPORT", report, MAX_PATH) > 0) {
        FILE* f = _wfopen(report, L"w");
        ASSERT_NE(nullptr, f);
        std::fprintf(f, "%d %d %d %d %d\n", ScreenDpiX(), ScreenDpiY(), DpiScaleX(30),
                     DpiScaleY(446), SnappedDpi());
        std::fclose(f);
    }
}

// Sets HKCU\Control Panel\Desktop "LogPixels"; puts back what was there, or
// 96 (the prefix's setting) when there was nothing.
class LogPixelsSetting
{
public:
    LogPixelsSetting()
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_READ | KEY_SET_VALUE, nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
            return;
        }
        DWORD size = sizeof m_saved;
        DWORD type = 0;
        m_hadValue = RegQueryValueExW(m_key, L"LogPixels", nullptr, &type,
                                      reinterpret_cast<BYTE*>(&m_saved), &size) ==
                         ERROR_SUCCESS &&
                     type == REG_DWORD;
    }
    ~LogPixelsSetting()
    {
        if (!m_key)
            return;
        Set(m_hadValue ? m_saved : 96);
        RegCloseKey(m_key);
    }
    LogPixelsSetting(const LogPixelsSetting&) = delete;
    LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;

    bool Set(DWORD dpi)
    {
        return m_key && RegSetValueExW(m_key, L"LogPixels", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&dpi),
                                       sizeof dpi) == ERROR_SUCCESS;
    }

private:
    HKEY m_key = nullptr;
    bool m_hadValue = false;
    DWORD m_saved = 0;
};

// Runs ThemeDpiChild.ReportsScreenDpi in a new process of this runner and
// returns its report ("exit N" when it failed).
std::string ReadDpiInChildProcess()
{
    testing_support::TempFolder folder;
    const std::wstring report = folder.File(L"dpi.txt");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    SetEnvironmentVariableW(L"PEL_DPI_REPORT", report.c_str());
    HANDLE process =
        testing_support::StartProgram(self, L"--gtest_filter=ThemeDpiChild.ReportsScreenDpi");
    SetEnvironmentVariableW(L"PEL_DPI_REPORT", nullptr);
    if (!process)
        return "not started";
    const long code = testing_support::WaitExitCode(process, 60000);
    CloseHandle(process);
    if (code != 0)
        return "exit " + std::to_string(code);
    std::string text;
    if (FILE* f = _wfopen(report.c_str(), L"r")) {
        char buf[128] = {};
        if (std::fgets(buf, sizeof buf, f))
            text = buf;
        std::fclose(f);
    }
    return text;
}

TEST(ThemeScreenDpi, NewProcessReadsTheConfiguredDpi)
{
    LogPixelsSetting setting;
    ASSERT_TRUE(setting.Set(144));
    // dpiX dpiY DpiScaleX(30) DpiScaleY(446) SnappedDpi
    EXPECT_EQ("144 144 45 669 144\n", ReadDpiInChildProcess());
    ASSERT_TRUE(setting.Set(120));
    EXPECT_EQ("120 120 37 557 120\n", ReadDpiInChildProcess());
    ASSERT_TRUE(setting.Set(192));
    EXPECT_EQ("192 192 60 892 192\n", ReadDpiInChildProcess());
    ASSERT_TRUE(setting.Set(96));
    EXPECT_EQ("96 96 30 446 96\n", ReadDpiInChildProcess());
}

} // namespace
