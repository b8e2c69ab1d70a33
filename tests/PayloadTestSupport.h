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
