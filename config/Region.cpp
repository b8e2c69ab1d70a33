#include "config/Region.h"

#include "config/RegionList.h"
#include "config/RegistryKey.h"

bool IsListedCountry()
{
    CRegistryKey key(HKEY_CURRENT_USER, L"Control Panel\\International\\Geo");
    const std::optional<std::wstring> nation = key.QueryString(L"Nation");
    return IsListedNationText(nation ? *nation : std::wstring());
}
