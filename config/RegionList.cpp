#include "config/RegionList.h"

#include "config/TextNumber.h"

namespace {

// A fixed table instead of a map rebuilt per call: it is asked once per run,
// and a constant array needs no allocation.
constexpr ListedCountry kCountries[] = {
    {122, "Japan"},       {39, "Canada"},      {14, "Austria"},   {21, "Belgium"},
    {35, "Bulgaria"},     {108, "Croatia"},    {59, "Cyprus"},    {75, "Czechia"},
    {61, "Denmark"},      {70, "Estonia"},     {77, "Finland"},   {84, "France"},
    {94, "Germany"},      {98, "Greece"},      {109, "Hungary"},  {68, "Ireland"},
    {118, "Italy"},       {140, "Latvia"},     {141, "Lithuania"}, {147, "Luxembourg"},
    {163, "Malta"},       {176, "Netherlands"}, {191, "Poland"},  {193, "Portugal"},
    {200, "Romania"},     {143, "Slovakia"},   {212, "Slovenia"}, {217, "Spain"},
    {221, "Sweden"},      {242, "United Kingdom"},
};

} // namespace

const ListedCountry* ListedCountries(std::size_t* count)
{
    if (count)
        *count = sizeof kCountries / sizeof kCountries[0];
    return kCountries;
}

bool IsListedGeoId(int geoId)
{
    for (const ListedCountry& c : kCountries) {
        if (c.geoId == geoId)
            return true;
    }
    return false;
}

bool IsListedNationText(const std::wstring& nation)
{
    return IsListedGeoId(WtoiLike(nation));
}
