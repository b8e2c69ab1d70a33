// Launching a file and opening a web address through the desktop shell, as the
// signed-in user would. A batch script writes its own full path, its first
// argument and the value of an environment variable set only in this test
// process: started by the shell (as the program, or as the handler registered
// for web addresses), it sees the shell's environment, not ours.
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

// Points the http and https "open" commands at a command while it lives, then
// puts back what the prefix had.
class UrlHandlerScope
{
public:
    explicit UrlHandlerScope(const std::wstring& command)
    {
        for (int i = 0; i < 2; ++i) {
            wchar_t value[1024] = L"";
            DWORD size = sizeof value;
            if (RegGetValueW(HKEY_CLASSES_ROOT, kKeys[i], nullptr, RRF_RT_REG_SZ, nullptr, value,
                             &size) == ERROR_SUCCESS)
                m_saved[i] = value;
            Set(kKeys[i], command);
        }
    }
    ~UrlHandlerScope()
    {
        for (int i = 0; i < 2; ++i)
            Set(kKeys[i], m_saved[i]);
    }
    UrlHandlerScope(const UrlHandlerScope&) = delete;
    UrlHandlerScope& operator=(const UrlHandlerScope&) = delete;

private:
    static void Set(const wchar_t* key, const std::wstring& command)
    {
        RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(),
                        static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr const wchar_t* kKeys[2] = {L"http\\shell\\open\\command",
                                                L"https\\shell\\open\\command"};
    std::wstring m_saved[2];
};

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
        const std::string body = std::string("@echo [%~f0] [%~1] [%") + kMarkerName + "%]> \"" +
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

// An https address is handed to the desktop shell with the "open" verb; the
// shell runs the handler registered for the scheme in its own context.
TEST(LaunchAsDesktopUser, DesktopShellStartsTheWholePathOrOpensTheAddressInItsOwnContext)
{
    ComScope com;
    ASSERT_TRUE(com.Ok());
    ComPtr<IShellView> view;
    const HRESULT found = FindDesktopFolderView(IID_IShellView, view.ReceiveVoid());
    RecordProperty("DesktopViewFound", SUCCEEDED(found) ? 1 : 0);

    for (const std::wstring address : {L"", L"https://localhost:9/varo-pro/7/license-terms"}) {
        SCOPED_TRACE(Narrow(address));
        LaunchWitness witness;
        ASSERT_TRUE(witness.Written());
        UrlHandlerScope handler(L"\"" + witness.Script() + L"\" \"%1\"");
        const bool opened = address.empty() ? LaunchAsDesktopUser(witness.Script())
                                            : OpenAsDesktopUser(address);

        if (SUCCEEDED(found)) {
            ASSERT_TRUE(view);
            EXPECT_TRUE(opened);
            // The path with its blanks arrived whole, and the script did not
            // inherit this process's environment: the shell started it.
            EXPECT_EQ(witness.WaitForRecord(20000),
                      "[" + Narrow(witness.Script()) + "] [" + Narrow(address) + "] []");
        } else {
            // No desktop shell: nothing starts, no address opens, and both say so.
            EXPECT_FALSE(view);
            EXPECT_FALSE(opened);
            EXPECT_EQ(witness.WaitForRecord(3000), "");
        }
    }
}

TEST(LaunchAsDesktopUser, WithoutCOMNothingStartsAndBothSaySo)
{
    LaunchWitness witness;
    ASSERT_TRUE(witness.Written());
    UrlHandlerScope handler(L"\"" + witness.Script() + L"\" \"%1\"");
    // A thread that never initialised COM cannot reach the shell's objects,
    // so nothing starts and no address opens, and both calls say so.
    HRESULT found = S_OK;
    void* view = reinterpret_cast<void*>(1);
    bool started = true;
    bool opened = true;
    std::thread([&] {
        found = FindDesktopFolderView(IID_IShellView, &view);
        started = LaunchAsDesktopUser(witness.Script());
        opened = OpenAsDesktopUser(L"http://127.0.0.1:9/welcome");
    }).join();
    EXPECT_TRUE(FAILED(found));
    EXPECT_EQ(view, nullptr);
    EXPECT_FALSE(started);
    EXPECT_FALSE(opened);
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
