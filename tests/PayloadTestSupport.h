// Shared pieces of the demo-product payload tests: where the build put the payloads and the
// demo site, the product's registry key, and cleanup of registry keys a setup program made.
#pragma once

#include "WinTestSupport.h"

#include <windows.h>

#include <string>
#include <vector>

namespace payload_test {

// The product key of the sample manifest, below HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kProductKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070";

inline std::wstring SitePath(const std::wstring& relative)
{
    return testing_support::WinePath(PEL_SITE_DIR) + L"\\" + relative;
}

inline std::wstring PayloadPath(const std::wstring& relative)
{
    return testing_support::WinePath(PEL_TOOLS_DIR) + L"\\payloads\\" + relative;
}

inline std::wstring SampleManifestPath()
{
    return testing_support::WinePath(PEL_SOURCE_DIR) + L"\\sample\\config\\manifest.xml";
}

// The Linux path of a Windows path, through Wine's own export (empty outside Wine).
inline std::string UnixPath(const std::wstring& windowsPath)
{
    using Fn = char*(__cdecl*)(const wchar_t*);
    const Fn toUnix = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* path = toUnix ? toUnix(windowsPath.c_str()) : nullptr;
    if (!path)
        return std::string();
    std::string out(path);
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// Lays out a demo site in siteFolder (missing, or holding an earlier site) with URLs for the
// given port, and writes the sample manifest with the same URLs to manifestOut when one is
// named. `options` are more make_site.py options ("--min-web-installer 7.0.0.11"). The script
// is a Linux program that Wine starts detached, so this waits for the version document, which
// the script writes last; false when it has not appeared within 30 s.
inline bool MakeDemoSite(const std::wstring& siteFolder, int port,
                         const std::wstring& manifestOut = std::wstring(),
                         const std::string& options = std::string())
{
    const std::wstring versionDocument = siteFolder + L"\\version.xml";
    DeleteFileW(versionDocument.c_str());
    const std::string site = UnixPath(siteFolder);
    if (site.empty())
        return false;
    // Wine splits a Linux program's arguments by the Windows rules: only double quotes group.
    std::string command = "Z:\\usr\\bin\\python3 \"" PEL_SOURCE_DIR
                          "/tools/payloads/make_site.py\" --payloads \"" PEL_TOOLS_DIR
                          "/payloads\" --installer \"" PEL_INSTALLER_EXE "\" --out \"" +
                          site + "\" --port " + std::to_string(port) + " " + options;
    if (!manifestOut.empty()) {
        const std::string manifest = UnixPath(manifestOut);
        if (manifest.empty())
            return false;
        command += " --manifest-out \"" + manifest + "\"";
    }
    std::wstring wide(command.begin(), command.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(50)) {
        if (GetFileAttributesW(versionDocument.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return false;
}

inline bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Removes, when the test ends, every part of root\path that a program under test created:
// the tree below the first component of the path that was missing when the test began. A
// leaf left by an earlier, aborted run is removed first, so the test starts from nothing.
class CreatedKeyRemover
{
public:
    CreatedKeyRemover(HKEY root, const std::wstring& path, REGSAM view)
        : m_root(root), m_view(view)
    {
        if (KeyExists(root, path, view))
            DeleteTree(path.substr(0, path.rfind(L'\\')), path.substr(path.rfind(L'\\') + 1));
        size_t end = 0;
        while (end != std::wstring::npos) {
            end = path.find(L'\\', end + 1);
            const std::wstring prefix = path.substr(0, end);
            if (!KeyExists(root, prefix, view)) {
                const size_t slash = prefix.rfind(L'\\');
                m_parent = slash == std::wstring::npos ? std::wstring() : prefix.substr(0, slash);
                m_child = prefix.substr(slash == std::wstring::npos ? 0 : slash + 1);
                break;
            }
        }
    }
    ~CreatedKeyRemover()
    {
        if (!m_child.empty())
            DeleteTree(m_parent, m_child);
    }
    CreatedKeyRemover(const CreatedKeyRemover&) = delete;
    CreatedKeyRemover& operator=(const CreatedKeyRemover&) = delete;

private:
    void DeleteTree(const std::wstring& parent, const std::wstring& child) const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(m_root, parent.c_str(), 0, KEY_ALL_ACCESS | m_view, &key) !=
            ERROR_SUCCESS)
            return;
        RegDeleteTreeW(key, child.c_str());
        RegCloseKey(key);
    }

    HKEY m_root;
    REGSAM m_view;
    std::wstring m_parent;
    std::wstring m_child;
};

} // namespace payload_test
