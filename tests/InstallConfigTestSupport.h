// Shared pieces of the install-model tests: a folder that stands for the installer's own
// folder with a manifest in it, scratch registry keys, and manifest texts.
#pragma once

#include "config/InstallConfig.h"

#include "WinTestSupport.h"

#include <windows.h>

#include <string>

namespace install_config_test {

// A product code no test installs, so Windows Installer answers 1605 for it.
inline constexpr char kUnknownProductCode[] = "{0C5B7D1E-5A1B-4C7E-9D11-8E0F6A2B3C4D}";

// A registry key of its own below HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE\Software\PelTests,
// deleted with everything below it when the test ends.
class ScratchKey
{
public:
    explicit ScratchKey(HKEY root, const wchar_t* label = L"InstallConfig") : m_root(root)
    {
        static int counter = 0;
        m_path = std::wstring(L"Software\\PelTests\\") + label + L"-" +
                 std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        RegDeleteTreeW(m_root, m_path.c_str());
    }
    ~ScratchKey()
    {
        RegDeleteTreeW(m_root, m_path.c_str());
        RegDeleteKeyW(m_root, L"Software\\PelTests"); // only once it is empty
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::string NarrowPath() const { return std::string(m_path.begin(), m_path.end()); }

    bool SetString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) const
    {
        const std::wstring path = subkey.empty() ? m_path : m_path + L"\\" + subkey;
        return RegSetKeyValueW(m_root, path.c_str(), name, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    bool SetDword(const std::wstring& subkey, const wchar_t* name, DWORD value) const
    {
        const std::wstring path = subkey.empty() ? m_path : m_path + L"\\" + subkey;
        return RegSetKeyValueW(m_root, path.c_str(), name, REG_DWORD, &value, sizeof value) ==
               ERROR_SUCCESS;
    }
    bool CreateSubkey(const std::wstring& subkey) const
    {
        HKEY key = nullptr;
        const std::wstring path = m_path + L"\\" + subkey;
        if (RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

private:
    HKEY m_root;
    std::wstring m_path;
};

// The product element's children of a good web-build manifest, in the order the reader wants.
inline std::string GoodProductBody(const std::string& registry)
{
    return "<pid>VARO-PRO-70</pid>"
           "<full_name>VARO Pro</full_name>"
           "<short_name>VARO</short_name>"
           "<registry>" + registry + "</registry>"
           "<standalone>false</standalone>"
           "<standalone_version>7.0.0.1</standalone_version>"
           "<version_check_url>http://127.0.0.1:8470/version.xml</version_check_url>"
           "<main_component><name>varo_pro_70.msi</name>"
           "<executable>VARO Pro.exe</executable>"
           "<full_url>http://127.0.0.1:8470/msi/varo_pro_70.msi</full_url>"
           "<patch_url>http://127.0.0.1:8470/msi/varo_pro_70_patch.msi</patch_url>"
           "</main_component>";
}

// A whole manifest around the children of product.
inline std::string ManifestText(const std::string& productBody,
                                const std::string& productCode = kUnknownProductCode)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<pelwebinstaller>"
           "<web_installer_version>7.0.0.10</web_installer_version>"
           "<product_code>" + productCode + "</product_code>"
           "<product>" + productBody + "</product></pelwebinstaller>\n";
}

// A temporary folder that stands for the installer's folder: the exe path points into it and
// config\manifest.xml is written there. The replacement-manifest lookup goes to a scratch
// key of the test's own, so no test sees another's value.
class InstallerFolder
{
public:
    InstallerFolder() : m_replacementKey(HKEY_CURRENT_USER, L"Replacement")
    {
        CreateDirectoryW((m_temp.Path() + L"\\config").c_str(), nullptr);
        m_context.exePath = m_temp.File(L"PelWebInstaller.exe");
        m_context.uiLanguage = 1033;
        m_context.replacementKey = m_replacementKey.Path();
    }

    const std::wstring& Path() const { return m_temp.Path(); }
    std::wstring File(const std::wstring& relative) const { return m_temp.File(relative); }
    ManifestLoadContext& Context() { return m_context; }
    const ScratchKey& ReplacementKey() const { return m_replacementKey; }

    bool WriteManifest(const std::string& text) const
    {
        return testing_support::WriteFileBytes(File(L"config\\manifest.xml"), text);
    }
    bool WriteFile(const std::wstring& relative, const std::string& text) const
    {
        return testing_support::WriteFileBytes(File(relative), text);
    }
    bool MakeFolder(const std::wstring& relative) const
    {
        return CreateDirectoryW(File(relative).c_str(), nullptr) != 0;
    }

private:
    testing_support::TempFolder m_temp;
    ScratchKey m_replacementKey;
    ManifestLoadContext m_context;
};

} // namespace install_config_test
