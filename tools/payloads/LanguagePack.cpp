// The demo product's language pack setup, one program for every language: the language id
// comes from its own file name, "language_pack_<id>.exe". The installer downloads it under a
// name with a unique number in front ("123456language_pack_1031.exe"), so the id is taken
// after the last "language_pack_" of the name.
//
// It registers the pack as the subkey <id> of the product's "LanguagePacks" key, where the
// installer lists the installed packs. "/s" (silent) is what the installer passes; without it
// the pack installs just the same, as there is nothing to ask.
#include "tools/payloads/PayloadCommon.h"

#include <windows.h>

#include <cwctype>
#include <string>

namespace {

const wchar_t kLanguagePacksKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070\\LanguagePacks";

// The language id of a file name, or 0 when the name carries none (or an impossible one).
int LanguageIdFromFileName(std::wstring name)
{
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    const std::wstring marker = L"language_pack_";
    const size_t at = name.rfind(marker);
    if (at == std::wstring::npos)
        return 0;
    size_t i = at + marker.size();
    long id = 0;
    size_t digits = 0;
    for (; i < name.size() && name[i] >= L'0' && name[i] <= L'9' && digits < 6; ++i, ++digits)
        id = id * 10 + (name[i] - L'0');
    // Language ids are 16-bit numbers; anything else after the digits but ".exe" is not ours.
    if (digits == 0 || id > 0xFFFF || name.compare(i, std::wstring::npos, L".exe") != 0)
        return 0;
    return static_cast<int>(id);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const payload::CArguments args;
    payload::AppendRunLog(args);
    const int id = LanguageIdFromFileName(payload::FileNamePart(payload::ModulePath()));
    if (id == 0)
        return ERROR_BAD_PATHNAME;
    const std::wstring key = std::wstring(kLanguagePacksKey) + L"\\" + std::to_wstring(id);
    const LONG result = payload::WriteRegistryDword(HKEY_LOCAL_MACHINE, key.c_str(),
                                                    KEY_WOW64_64KEY, L"LanguageID",
                                                    static_cast<DWORD>(id));
    return static_cast<int>(result);
}
