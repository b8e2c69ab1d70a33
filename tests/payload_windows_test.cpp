// The demo product's programs (with their windows under Xvfb): each shows its dark window and
// holds its named semaphore exactly while it runs, which is what the installer's
// running-program check looks for. In this runner because its tests run one at a time: the
// semaphore names are shared by every test that plays a running product.
#include "framework/Handles.h"

#include "PayloadTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>

using payload_test::PayloadPath;
using testing_support::StartProgram;
using testing_support::WaitExitCode;
using testing_support::WaitForWindow;

namespace {

bool SemaphoreExists(const wchar_t* name)
{
    CHandle semaphore(OpenSemaphoreW(SYNCHRONIZE, FALSE, name));
    return semaphore.IsValid();
}

struct ProductProgram
{
    const char* name; // test name suffix
    const wchar_t* file;
    const wchar_t* title;
    const wchar_t* semaphore;
    const wchar_t* otherSemaphore; // the other program's
};

// How test listings name a parameter (instead of its bytes).
void PrintTo(const ProductProgram& program, std::ostream* out)
{
    *out << program.name;
}

long RunToEnd(const std::wstring& exe, const std::wstring& args)
{
    CHandle process(StartProgram(exe, args));
    return process ? WaitExitCode(process.Get(), 30000) : -2;
}

class DemoProductProgram : public testing::TestWithParam<ProductProgram>
{
};

} // namespace

TEST_P(DemoProductProgram, HoldsItsSemaphoreWhileItsDarkWindowIsOpen)
{
    const ProductProgram& program = GetParam();
    const std::wstring exe = PayloadPath(std::wstring(L"product\\") + program.file);
    ASSERT_FALSE(SemaphoreExists(program.semaphore)) << "a copy runs already";
    DWORD pid = 0;
    CHandle process(StartProgram(exe, L"", &pid));
    ASSERT_TRUE(process);
    const HWND window = WaitForWindow(nullptr, program.title, 10000);
    ASSERT_NE(window, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, pid);
    EXPECT_TRUE(SemaphoreExists(program.semaphore));

    // The client area is dark (every channel low), as the product's theme is.
    SetForegroundWindow(window);
    UpdateWindow(window);
    {
        CClientDC dc(window);
        const COLORREF corner = GetPixel(dc, 3, 3);
        EXPECT_NE(corner, CLR_INVALID);
        EXPECT_LT(GetRValue(corner), 0x40);
        EXPECT_LT(GetGValue(corner), 0x40);
        EXPECT_LT(GetBValue(corner), 0x40);
    }

    // A second copy steps back and leaves the first one's semaphore alone.
    CHandle second(StartProgram(exe, L""));
    ASSERT_TRUE(second);
    EXPECT_EQ(WaitExitCode(second.Get(), 20000), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(SemaphoreExists(program.semaphore));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitExitCode(process.Get(), 20000), 0);
    EXPECT_FALSE(SemaphoreExists(program.semaphore));
}

TEST_P(DemoProductProgram, SelfTestExitTakesOnlyItsOwnSemaphore)
{
    const ProductProgram& program = GetParam();
    const std::wstring exe = PayloadPath(std::wstring(L"product\\") + program.file);
    EXPECT_EQ(RunToEnd(exe, L"/selftest-exit"), 0) << "nothing holds the name yet";
    {
        CHandle other(CreateSemaphoreW(nullptr, 0, 1, program.otherSemaphore));
        ASSERT_TRUE(other);
        EXPECT_EQ(RunToEnd(exe, L"/selftest-exit"), 0) << "the other program's name";
    }
    // While its own name exists, the program finds itself running and steps back.
    CHandle own(CreateSemaphoreW(nullptr, 0, 1, program.semaphore));
    ASSERT_TRUE(own);
    EXPECT_EQ(RunToEnd(exe, L"/selftest-exit"), ERROR_ALREADY_EXISTS);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, DemoProductProgram,
    testing::Values(ProductProgram{"Editor", L"VARO Pro Video Editor 7.exe",
                                   L"VARO Pro Video Editor 7", L"QuilloVaroInstance_70",
                                   L"QuilloVaroVRInstance_70"},
                    ProductProgram{"Recorder", L"VARO Pro Video Recorder 7.exe",
                                   L"VARO Pro Video Recorder 7", L"QuilloVaroVRInstance_70",
                                   L"QuilloVaroInstance_70"}),
    [](const testing::TestParamInfo<ProductProgram>& info) {
        return std::string(info.param.name);
    });
