// Launching a file through the desktop shell, as the signed-in user would.
// The file is a batch script that writes its own full path and the value of
// an environment variable set only in this test process: started by the
// shell, it sees the shell's environment, not ours.
#include "engine/LaunchAsDesktopUser.h"

#include "framework/Handles.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <shlobj.h>

#include <string>
#include <thread>

using testing_support::TempFolder;

namespace {

constexpr char kMarkerName[] = "PEL_LAUNCH_MARKER";

// COM for the calling thread, as every caller of the launch sets it up.
class ComScope
{
public:
    ComScope() : m_hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Ok() const { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A batch script in a folder with blanks that records how it was started.
class LaunchWitness
{
public:
    LaunchWitness()
        : m_script(m_temp.File(L"Pel Launch Folder") + L"\\Pel Launch.bat"),
          m_record(m_temp.File(L"launched.txt"))
    {
        CreateDirectoryW(m_temp.File(L"Pel Launch Folder").c_str(), nullptr);
        SetEnvironmentVariableA(kMarkerName, "set-by-the-test");
        const std::string body = std::string("@echo [%~f0] [%") + kMarkerName + "%]> \"" +
                                 Narrow(m_record) + "\"\r\n";
        m_written = testing_support::WriteFileBytes(m_script, body);
    }
    ~LaunchWitness() { SetEnvironmentVariableA(kMarkerName, nullptr); }
    LaunchWitness(const LaunchWitness&) = delete;
    LaunchWitness& operator=(const LaunchWitness&) = delete;

    bool Written() const { return m_written; }
    const std::wstring& Script() const { return m_script; }

    // The script's line once it is complete, or empty after timeoutMs.
    std::string WaitForRecord(DWORD timeoutMs) const
    {
        const DWORD start = GetTickCount();
        for (;;) {
            const std::string text = Read();
            if (text.find('\n') != std::string::npos)
                return text.substr(0, text.find_last_not_of("\r\n ") + 1);
            if (GetTickCount() - start >= timeoutMs)
                return std::string();
            Sleep(50);
        }
    }

private:
    std::string Read() const
    {
        CFileHandle file(CreateFileW(m_record.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file)
            return std::string();
        char buffer[1024];
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr))
            return std::string();
        return std::string(buffer, read);
    }

    TempFolder m_temp;
    std::wstring m_script;
    std::wstring m_record;
    bool m_written = false;
};

} // namespace

TEST(LaunchAsDesktopUser, DesktopShellStartsTheWholePathInItsOwnContext)
{
    ComScope com;
    ASSERT_TRUE(com.Ok());
    LaunchWitness witness;
    ASSERT_TRUE(witness.Written());

    ComPtr<IShellView> view;
    const HRESULT found = FindDesktopFolderView(IID_IShellView, view.ReceiveVoid());
    RecordProperty("DesktopViewFound", SUCCEEDED(found) ? 1 : 0);
    LaunchAsDesktopUser(witness.Script());

    if (SUCCEEDED(found)) {
        ASSERT_TRUE(view);
        // The path with its blanks arrived whole, and the script did not
        // inherit this process's environment: the shell started it.
        EXPECT_EQ(witness.WaitForRecord(20000), "[" + Narrow(witness.Script()) + "] []");
    } else {
        // No desktop shell: nothing starts and the call returns quietly.
        EXPECT_FALSE(view);
        EXPECT_EQ(witness.WaitForRecord(3000), "");
    }
}

TEST(LaunchAsDesktopUser, WithoutCOMNothingStartsAndNothingIsReported)
{
    LaunchWitness witness;
    ASSERT_TRUE(witness.Written());
    // A thread that never initialised COM cannot reach the shell's objects.
    HRESULT found = S_OK;
    void* view = reinterpret_cast<void*>(1);
    std::thread([&] {
        found = FindDesktopFolderView(IID_IShellView, &view);
        LaunchAsDesktopUser(witness.Script());
    }).join();
    EXPECT_TRUE(FAILED(found));
    EXPECT_EQ(view, nullptr);
    RecordProperty("FindWithoutCOM", static_cast<int>(found));
    EXPECT_EQ(witness.WaitForRecord(3000), "");
}

TEST(FindDesktopFolderView, AnswersOnlyTheInterfaceTheViewHas)
{
    ComScope com;
    ASSERT_TRUE(com.Ok());
    EXPECT_EQ(FindDesktopFolderView(IID_IShellView, nullptr), E_POINTER);

    ComPtr<IShellView> view;
    if (FAILED(FindDesktopFolderView(IID_IShellView, view.ReceiveVoid())))
        GTEST_SKIP() << "no desktop shell view here";
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(FindDesktopFolderView(IID_IUnknown, unknown.ReceiveVoid()), S_OK);
    EXPECT_TRUE(unknown);
    // The shell view is not a shell windows collection.
    void* other = reinterpret_cast<void*>(1);
    EXPECT_TRUE(FAILED(FindDesktopFolderView(IID_IShellWindows, &other)));
    EXPECT_EQ(other, nullptr);
}
