#include "engine/Prerequisites.h"

#include "config/RegistryKey.h"
#include "framework/RunLog.h"

#include <windows.h>

#include <vector>

namespace {

// The Edge update client of the WebView2 runtime: per-machine under the
// 32-bit node (the runtime's installer is a 32-bit program), per-user under HKCU.
constexpr wchar_t kWebView2MachineKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\"
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kWebView2UserKey[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kVCRuntimeKey[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";

// The oldest runtime the product accepts, as three minimums that are each
// compared on their own (the key only ever holds 14.x runtimes).
constexpr DWORD kMinVCMajor = 14;
constexpr DWORD kMinVCMinor = 24;
constexpr DWORD kMinVCBuild = 18127;

// A key opened read-only with RegOpenKeyExW (no registry view flag), owned by
// the registry key object; an object without handle when the key is missing.
void OpenReadOnly(HKEY root, const wchar_t* path, CRegistryKey& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &handle) == ERROR_SUCCESS)
        key.Attach(handle);
}

// A "pv" value that names a real version; "0.0.0.0" is what the client
// leaves behind after the runtime was removed.
bool HasInstalledVersion(HKEY root, const wchar_t* path)
{
    CRegistryKey key;
    OpenReadOnly(root, path, key);
    const std::optional<std::wstring> version = key.QueryString(L"pv");
    return version && !version->empty() && *version != L"0.0.0.0";
}

DWORD DwordOrZero(const CRegistryKey& key, const wchar_t* name)
{
    DWORD value = 0;
    return key.QueryDword(name, value) ? value : 0;
}

// The thread's ANSI code page without best-fit mapping: a name with
// characters that have no exact counterpart (a full-width "webview2.exe")
// must not turn into a known name and skip a program the manifest lists.
bool NarrowExactly(const std::wstring& wide, std::string& narrow)
{
    narrow.clear();
    if (wide.empty())
        return true;
    const int length = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                          nullptr, 0, nullptr, &usedDefault);
    if (bytes <= 0 || usedDefault)
        return false;
    std::vector<char> buffer(static_cast<size_t>(bytes));
    if (WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                            buffer.data(), bytes, nullptr, nullptr) != bytes)
        return false;
    narrow.assign(buffer.begin(), buffer.end());
    return true;
}

} // namespace

const std::unordered_map<std::string, PrerequisiteDetector>& PrerequisiteDetectors()
{
    static const std::unordered_map<std::string, PrerequisiteDetector> detectors = {
        {"webview2.exe", IsWebView2Installed},
        {"vc_redist.exe", IsVCRuntimeInstalled},
    };
    return detectors;
}

// Built with the other process-wide objects, before start-up runs.
[[maybe_unused]] static const auto& g_prerequisiteDetectorsAtStart = PrerequisiteDetectors();

PrerequisiteState DetectPrerequisite(const std::wstring& name)
{
    std::string narrow;
    const auto& detectors = PrerequisiteDetectors();
    const auto found = NarrowExactly(name, narrow) ? detectors.find(narrow) : detectors.end();
    if (found == detectors.end())
        return PrerequisiteState::Unknown;
    return found->second() ? PrerequisiteState::Present : PrerequisiteState::Missing;
}

bool IsPrerequisiteInstalled(const std::wstring& name)
{
    const PrerequisiteState state = DetectPrerequisite(name);
    if (state == PrerequisiteState::Unknown) {
        LogLine(L"Prerequisite " + name + L": not a known one, to be installed");
        return false;
    }
    const bool present = state == PrerequisiteState::Present;
    LogLine(L"Prerequisite " + name + (present ? L": present, not installed again" : L": missing, to be installed"));
    return present;
}

bool IsWebView2Installed()
{
    const bool machine = HasInstalledVersion(HKEY_LOCAL_MACHINE, kWebView2MachineKey);
    const bool user = HasInstalledVersion(HKEY_CURRENT_USER, kWebView2UserKey);
    return machine || user;
}

bool IsVCRuntimeInstalled()
{
    CRegistryKey key;
    OpenReadOnly(HKEY_LOCAL_MACHINE, kVCRuntimeKey, key);
    if (!key.IsOpen())
        return false;
    return DwordOrZero(key, L"Major") >= kMinVCMajor && DwordOrZero(key, L"Minor") >= kMinVCMinor &&
           DwordOrZero(key, L"Bld") >= kMinVCBuild;
}
