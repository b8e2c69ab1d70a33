// The countries whose users must tick the licence acceptance themselves
// (standard C++; the registry read lives in config/Region.h).
#pragma once

#include <cstddef>
#include <string>

struct ListedCountry
{
    int geoId;           // Windows geographical location identifier
    const char* name;    // label only
};

// The thirty listed countries: the EU member states, the United Kingdom, Japan
// and Canada.
const ListedCountry* ListedCountries(std::size_t* count);

// True when geoId is one of the listed countries.
bool IsListedGeoId(int geoId);

// The decision for a "Nation" registry text: read like _wtoi (a missing or
// non-numeric text gives 0, which is not listed) and looked up in the list.
bool IsListedNationText(const std::wstring& nation);
