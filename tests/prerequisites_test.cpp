// Prerequisite detection against the real registry of the Wine prefix. The
// keys are the ones the runtimes' installers write; each test puts back what
// was there before.
#include "engine/Prerequisites.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const wchar_t kWebView2Machine[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const wchar_t kWebView2User[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const wchar_t kVCRuntime[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";

// Holds one key's values for a test: remembers whether the key and the named
// values existed, and restores exactly that at the end.
class KeyUnderTest
{
public:
    KeyUnderTest(HKEY root, const wchar_t* path, std::vector<std::wstring> names)
        : m_root(root), m_path(path), m_names(std::move(names))
    {
        HKEY key = nullptr;
        m_existed = RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
        for (const std::wstring& name : m_names) {
            Saved saved;
            DWORD size = 0;
            if (m_existed && RegQueryValueExW(key, name.c_str(), nullptr, &saved.type, nullptr,
                                              &size) == ERROR_SUCCESS) {
                saved.data.resize(size);
                RegQueryValueExW(key, name.c_str(), nullptr, &saved.type, saved.data.data(), &size);
                saved.present = true;
            }
            m_saved.push_back(saved);
        }
        if (key)
            RegCloseKey(key);
        Remove();
    }
    ~KeyUnderTest()
    {
        if (!m_existed) {
            RegDeleteTreeW(m_root, m_path.c_str());
            RegDeleteKeyW(m_root, m_path.c_str());
            return;
        }
        for (size_t i = 0; i < m_names.size(); ++i) {
            if (m_saved[i].present)
                RegSetKeyValueW(m_root, m_path.c_str(), m_names[i].c_str(), m_saved[i].type,
                                m_saved[i].data.data(), static_cast<DWORD>(m_saved[i].data.size()));
            else
                RegDeleteKeyValueW(m_root, m_path.c_str(), m_names[i].c_str());
        }
    }
    KeyUnderTest(const KeyUnderTest&) = delete;
    KeyUnderTest& operator=(const KeyUnderTest&) = delete;

    // Takes the key away (with the values under test).
    void Remove()
    {
        for (const std::wstring& name : m_names)
            RegDeleteKeyValueW(m_root, m_path.c_str(), name.c_str());
        // The key itself goes only when nothing else is in it.
        HKEY key = nullptr;
        if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        DWORD subkeys = 0;
        DWORD values = 0;
        const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr,
                                            nullptr) == ERROR_SUCCESS &&
                           subkeys == 0 && values == 0;
        RegCloseKey(key);
        if (empty)
            RegDeleteKeyW(m_root, m_path.c_str());
    }
    bool SetString(const wchar_t* name, const std::wstring& value)
    {
        return RegSetKeyValueW(m_root, m_path.c_str(), name, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    bool SetDword(const wchar_t* name, DWORD value)
    {
        return RegSetKeyValueW(m_root, m_path.c_str(), name, REG_DWORD, &value, sizeof value) ==
               ERROR_SUCCESS;
    }
    bool SetVersion(DWORD major, DWORD minor, DWORD build)
    {
        return SetDword(L"Major", major) && SetDword(L"Minor", minor) && SetDword(L"Bld", build);
    }

private:
    struct Saved
    {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    HKEY m_root;
    std::wstring m_path;
    std::vector<std::wstring> m_names;
    std::vector<Saved> m_saved;
    bool m_existed = false;
};

class WebView2Detection : public ::testing::Test
{
protected:
    KeyUnderTest machine{HKEY_LOCAL_MACHINE, kWebView2Machine, {L"pv"}};
    KeyUnderTest user{HKEY_CURRENT_USER, kWebView2User, {L"pv"}};
};

class VCRuntimeDetection : public ::testing::Test
{
protected:
    KeyUnderTest runtime{HKEY_LOCAL_MACHINE, kVCRuntime, {L"Major", L"Minor", L"Bld"}};
};

} // namespace

TEST_F(WebView2Detection, AbsentKeysMeanMissing)
{
    EXPECT_FALSE(IsWebView2Installed());
}

TEST_F(WebView2Detection, ZeroVersionUnderBothKeysIsMissing)
{
    ASSERT_TRUE(machine.SetString(L"pv", L"0.0.0.0"));
    ASSERT_TRUE(user.SetString(L"pv", L"0.0.0.0"));
    EXPECT_FALSE(IsWebView2Installed());
    ASSERT_TRUE(machine.SetString(L"pv", L""));
    ASSERT_TRUE(user.SetString(L"pv", L""));
    EXPECT_FALSE(IsWebView2Installed());
}

TEST_F(WebView2Detection, ARealVersionUnderEitherKeyIsInstalled)
{
    ASSERT_TRUE(machine.SetString(L"pv", L"120.0.2210.91"));
    ASSERT_TRUE(user.SetString(L"pv", L"0.0.0.0"));
    EXPECT_TRUE(IsWebView2Installed());

    ASSERT_TRUE(machine.SetString(L"pv", L"0.0.0.0"));
    ASSERT_TRUE(user.SetString(L"pv", L"119.0.2151.58"));
    EXPECT_TRUE(IsWebView2Installed());

    machine.Remove();
    EXPECT_TRUE(IsWebView2Installed());
}

TEST_F(WebView2Detection, VersionThatIsNotAStringDoesNotCount)
{
    ASSERT_TRUE(machine.SetDword(L"pv", 120));
    EXPECT_FALSE(IsWebView2Installed());
}

TEST_F(VCRuntimeDetection, EachPartIsComparedOnItsOwn)
{
    ASSERT_TRUE(runtime.SetVersion(14, 29, 30139));
    EXPECT_TRUE(IsVCRuntimeInstalled());
    ASSERT_TRUE(runtime.SetVersion(14, 24, 18127));
    EXPECT_TRUE(IsVCRuntimeInstalled());
    ASSERT_TRUE(runtime.SetVersion(14, 16, 27012));
    EXPECT_FALSE(IsVCRuntimeInstalled()); // Minor 16
    ASSERT_TRUE(runtime.SetVersion(14, 24, 18126));
    EXPECT_FALSE(IsVCRuntimeInstalled());
    ASSERT_TRUE(runtime.SetVersion(15, 0, 30139));
    EXPECT_FALSE(IsVCRuntimeInstalled()); // Minor 0
    ASSERT_TRUE(runtime.SetVersion(13, 99, 99999));
    EXPECT_FALSE(IsVCRuntimeInstalled());
}

TEST_F(VCRuntimeDetection, AbsentKeyOrUnreadableValuesMeanMissing)
{
    EXPECT_FALSE(IsVCRuntimeInstalled());
    ASSERT_TRUE(runtime.SetDword(L"Minor", 29));
    ASSERT_TRUE(runtime.SetDword(L"Bld", 30139));
    EXPECT_FALSE(IsVCRuntimeInstalled()); // Major missing counts as 0
    ASSERT_TRUE(runtime.SetString(L"Major", L"14"));
    EXPECT_FALSE(IsVCRuntimeInstalled()); // not a 4-byte number
}

TEST(PrerequisiteTable, KnowsExactlyTheTwoRuntimes)
{
    const auto& detectors = PrerequisiteDetectors();
    EXPECT_EQ(detectors.size(), 2u);
    EXPECT_EQ(detectors.count("webview2.exe"), 1u);
    EXPECT_EQ(detectors.count("vc_redist.exe"), 1u);
}

TEST_F(WebView2Detection, NamesAreLookedUpExactly)
{
    ASSERT_TRUE(machine.SetString(L"pv", L"120.0.2210.91"));
    EXPECT_TRUE(IsPrerequisiteInstalled(L"webview2.exe"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"WebView2.exe"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"webview2.exe "));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"setup.exe"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L""));
    // Full-width letters and digits have no exact ANSI counterpart; they must
    // not be mapped to their look-alikes and found in the table.
    EXPECT_FALSE(IsPrerequisiteInstalled(
        L"\xFF57\xFF45\xFF42\xFF56\xFF49\xFF45\xFF57\xFF12.exe"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"webview2.ex\xFF45"));

    machine.SetString(L"pv", L"0.0.0.0");
    EXPECT_FALSE(IsPrerequisiteInstalled(L"webview2.exe"));
}

TEST_F(VCRuntimeDetection, NameFollowsItsDetector)
{
    EXPECT_FALSE(IsPrerequisiteInstalled(L"vc_redist.exe"));
    ASSERT_TRUE(runtime.SetVersion(14, 29, 30139));
    EXPECT_TRUE(IsPrerequisiteInstalled(L"vc_redist.exe"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"VC_REDIST.EXE"));
    EXPECT_FALSE(IsPrerequisiteInstalled(L"vc_redist.x64.exe"));
}
