// The demo product's setup programs as the build makes them: the language pack setup's
// registration, and the prerequisite stand-ins' registry values as the installer's detectors
// read them. (The product's own programs are tested in the UI runner: their semaphores are
// shared by every test that plays a running product.)
#include "config/InstallConfig.h"
#include "engine/Prerequisites.h"
#include "framework/Handles.h"

#include "PayloadTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using payload_test::CreatedKeyRemover;
using payload_test::kProductKey;
using payload_test::PayloadPath;
using payload_test::SitePath;
using testing_support::StartProgram;
using testing_support::TempFolder;
using testing_support::WaitExitCode;
using testing_support::WindowsInstallerTestLock;

namespace {

const wchar_t kVcRuntimeKey[] = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
const wchar_t kVcRuntimeKey64[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
const wchar_t kWebView2Key[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const wchar_t kWebView2Key64[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\"
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

long RunToEnd(const std::wstring& exe, const std::wstring& args)
{
    HANDLE process = StartProgram(exe, args);
    if (!process)
        return -2;
    const long code = WaitExitCode(process, 30000);
    CloseHandle(process);
    return code;
}

// Sets an environment variable of this process (inherited by programs it starts) for the
// lifetime of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : m_name(name)
    {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(m_name, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const wchar_t* m_name;
};

// Values read the way the installer's detectors read them: RegOpenKeyExW with KEY_READ and
// no registry view flag, from this 64-bit process.
bool ReadDword(const wchar_t* path, const wchar_t* name, DWORD& value)
{
    CKeyHandle key;
    DWORD size = sizeof value;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS &&
           RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                            &size) == ERROR_SUCCESS;
}

std::wstring ReadString(const wchar_t* path, const wchar_t* name)
{
    CKeyHandle key;
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS ||
        RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS)
        return L"<none>";
    return buffer;
}

std::string ReadFileText(const std::wstring& path)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    std::string text;
    char buffer[512];
    DWORD read = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

std::vector<int> InstalledLanguagePacks()
{
    CInstallConfig config;
    config.m_manifest.registry = kProductKey;
    return config.GetInstalledLanguagePacks();
}

bool Contains(const std::vector<int>& list, int value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

TEST(DemoLanguagePack, RegistersItsSubkeyUnderTheDownloadedName)
{
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    const std::wstring packs = std::wstring(kProductKey) + L"\\LanguagePacks";
    CreatedKeyRemover german(HKEY_LOCAL_MACHINE, packs + L"\\1031", KEY_WOW64_64KEY);
    CreatedKeyRemover french(HKEY_LOCAL_MACHINE, packs + L"\\1036", KEY_WOW64_64KEY);
    ASSERT_FALSE(Contains(InstalledLanguagePacks(), 1031));

    // The installer stores downloads with a number in front of the name, in a folder that may
    // hold blanks.
    TempFolder temp;
    const std::wstring folder = temp.Path() + L"\\Pel Downloads";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring germanExe = folder + L"\\-120394language_pack_1031.exe";
    ASSERT_TRUE(CopyFileW(SitePath(L"langpack\\language_pack_1031.exe").c_str(),
                          germanExe.c_str(), FALSE));
    EXPECT_EQ(RunToEnd(germanExe, L"/s"), 0);
    std::vector<int> installed = InstalledLanguagePacks();
    EXPECT_TRUE(Contains(installed, 1031));
    EXPECT_FALSE(Contains(installed, 1036));
    DWORD id = 0;
    EXPECT_TRUE(ReadDword((packs + L"\\1031").c_str(), L"LanguageID", id));
    EXPECT_EQ(id, 1031u);

    EXPECT_EQ(RunToEnd(SitePath(L"langpack\\language_pack_1036.exe"), L"/s"), 0);
    installed = InstalledLanguagePacks();
    EXPECT_TRUE(Contains(installed, 1031));
    EXPECT_TRUE(Contains(installed, 1036));
}

TEST(DemoLanguagePack, NameWithoutALanguageIdChangesNothing)
{
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    const std::wstring packs = std::wstring(kProductKey) + L"\\LanguagePacks";
    CreatedKeyRemover cleanup(HKEY_LOCAL_MACHINE, packs, KEY_WOW64_64KEY);
    TempFolder temp;
    for (const wchar_t* name : {L"language_pack.exe", L"language_pack_.exe",
                                L"language_pack_70000.exe", L"language_pack_1031x.exe"}) {
        const std::wstring exe = temp.File(name);
        ASSERT_TRUE(CopyFileW(PayloadPath(L"language_pack.exe").c_str(), exe.c_str(), FALSE));
        EXPECT_EQ(RunToEnd(exe, L"/s"), ERROR_BAD_PATHNAME) << std::wstring(name).size();
    }
    EXPECT_TRUE(InstalledLanguagePacks().empty());
}

TEST(DemoPrerequisites, StandInsRegisterWhatTheDetectorsRead)
{
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    CreatedKeyRemover vc(HKEY_LOCAL_MACHINE, kVcRuntimeKey, KEY_WOW64_32KEY);
    CreatedKeyRemover webview(HKEY_LOCAL_MACHINE, kWebView2Key, KEY_WOW64_32KEY);
    ASSERT_FALSE(IsPrerequisiteInstalled(L"vc_redist.exe"));
    TempFolder temp;
    const std::wstring log = temp.File(L"runs.log");
    ScopedEnvironment logVariable(L"PEL_PAYLOAD_LOG", log);

    // The manifest's command lines, plus the stand-ins' own switch for a quick run.
    EXPECT_EQ(RunToEnd(SitePath(L"prereq\\vc_redist.exe"),
                       L"/install /quiet /norestart --seconds 0"),
              0);
    DWORD major = 0, minor = 0, build = 0;
    EXPECT_TRUE(ReadDword(kVcRuntimeKey64, L"Major", major));
    EXPECT_TRUE(ReadDword(kVcRuntimeKey64, L"Minor", minor));
    EXPECT_TRUE(ReadDword(kVcRuntimeKey64, L"Bld", build));
    EXPECT_EQ(major, 14u);
    EXPECT_EQ(minor, 29u);
    EXPECT_EQ(build, 30139u);
    EXPECT_TRUE(IsPrerequisiteInstalled(L"vc_redist.exe"));

    EXPECT_EQ(RunToEnd(SitePath(L"prereq\\webview2.exe"), L"/silent /install --seconds 0"), 0);
    EXPECT_EQ(ReadString(kWebView2Key64, L"pv"), L"120.0.2210.91");
    EXPECT_TRUE(IsPrerequisiteInstalled(L"webview2.exe"));

    EXPECT_EQ(ReadFileText(log), "vc_redist.exe|/install /quiet /norestart --seconds 0\r\n"
                                 "webview2.exe|/silent /install --seconds 0\r\n");
}

TEST(DemoPrerequisites, StandInWorksAWhileBeforeRegistering)
{
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    CreatedKeyRemover webview(HKEY_LOCAL_MACHINE, kWebView2Key, KEY_WOW64_32KEY);
    // Without "--seconds" the time comes from PEL_PAYLOAD_SECONDS: long enough to cancel.
    ScopedEnvironment seconds(L"PEL_PAYLOAD_SECONDS", L"2");
    HANDLE process = StartProgram(SitePath(L"prereq\\webview2.exe"), L"/silent /install");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReadString(kWebView2Key64, L"pv"), L"<none>") << "registered before finishing";
    EXPECT_EQ(WaitExitCode(process, 30000), 0);
    CloseHandle(process);
    EXPECT_EQ(ReadString(kWebView2Key64, L"pv"), L"120.0.2210.91");
}

TEST(DemoPrerequisites, StandInWithoutInstallSwitchChangesNothing)
{
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    CreatedKeyRemover vc(HKEY_LOCAL_MACHINE, kVcRuntimeKey, KEY_WOW64_32KEY);
    EXPECT_EQ(RunToEnd(SitePath(L"prereq\\vc_redist.exe"), L"/quiet --seconds 0"),
              ERROR_INVALID_PARAMETER);
    DWORD major = 0;
    EXPECT_FALSE(ReadDword(kVcRuntimeKey64, L"Major", major));
}
