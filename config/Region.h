// Region detection: is the user's home location one of the listed countries?
#pragma once

// Reads HKEY_CURRENT_USER\Control Panel\International\Geo "Nation". A missing
// key or value counts as location 0, which is not listed.
bool IsListedCountry();

// Tests: make IsListedCountry answer listed (1) or not listed (0) without reading the
// registry; -1 reads the registry again.
void SetListedCountryForTesting(int listed);
