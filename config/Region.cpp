#include "config/Region.h"

#include "config/RegionList.h"
#include "config/RegistryKey.h"

namespace {
int g_listedForTesting = -1;
} // namespace

void SetListedCountryForTesting(int listed)
{
    g_listedForTesting = listed < 0 ? -1 : (listed != 0 ? 1 : 0);
}

bool IsListedCountry()
{
    if (g_listedForTesting >= 0)
        return g_listedForTesting == 1;
    CRegistryKey key(HKEY_CURRENT_USER, L"Control Panel\\International\\Geo");
    const std::optional<std::wstring> nation = key.QueryString(L"Nation");
    return IsListedNationText(nation ? *nation : std::wstring());
}
