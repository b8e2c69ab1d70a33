// Stand-in for a prerequisite's setup program, built once per prerequisite:
//   PEL_STANDIN_VC_REDIST  "vc_redist.exe"  (accepts "/install /quiet /norestart")
//   PEL_STANDIN_WEBVIEW2   "webview2.exe"   (accepts "/silent /install")
// It works for a while (so that a test can cancel the installer meanwhile), then registers
// the runtime the way the real setup does, so the installer's detector finds it afterwards.
// Without "/install" it changes nothing and ends with ERROR_INVALID_PARAMETER.
#include "tools/payloads/PayloadCommon.h"

#include <windows.h>

namespace {

#if defined(PEL_STANDIN_VC_REDIST)

// The x64 runtime's setup registers itself from a 32-bit process, so its key lands in the
// 32-bit registry view; 64-bit readers find it below "SOFTWARE\Wow6432Node".
LONG RegisterRuntime()
{
    const wchar_t* key = L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64";
    const struct { const wchar_t* name; DWORD value; } parts[] = {
        {L"Major", 14}, {L"Minor", 29}, {L"Bld", 30139}};
    for (const auto& part : parts) {
        const LONG result = payload::WriteRegistryDword(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY,
                                                        part.name, part.value);
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

#elif defined(PEL_STANDIN_WEBVIEW2)

// The runtime's updater is a 32-bit program: its client key lives in the 32-bit view, which
// 64-bit readers see below "SOFTWARE\WOW6432Node".
LONG RegisterRuntime()
{
    return payload::WriteRegistryString(
        HKEY_LOCAL_MACHINE,
        L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",
        KEY_WOW64_32KEY, L"pv", L"120.0.2210.91");
}

#else
#error "define PEL_STANDIN_VC_REDIST or PEL_STANDIN_WEBVIEW2"
#endif

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const payload::CArguments args;
    payload::AppendRunLog(args);
    if (!args.Has(L"/install"))
        return ERROR_INVALID_PARAMETER;
    Sleep(payload::WorkMilliseconds(args, 1));
    return static_cast<int>(RegisterRuntime());
}
