// Region detection: is the user's home location one of the listed countries?
#pragma once

// Reads HKEY_CURRENT_USER\Control Panel\International\Geo "Nation". A missing
// key or value counts as location 0, which is not listed.
bool IsListedCountry();
