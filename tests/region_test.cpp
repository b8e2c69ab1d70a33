// The listed countries and the reading of the "Nation" text.
#include "config/RegionList.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(RegionList, HoldsTheThirtyCountries)
{
    // GEOIDs of the EU member states, the United Kingdom, Japan and Canada.
    const std::set<int> expected = {122, 39,  14,  21,  35,  108, 59,  75,  61,  70,
                                    77,  84,  94,  98,  109, 68,  118, 140, 141, 147,
                                    163, 176, 191, 193, 200, 143, 212, 217, 221, 242};
    ASSERT_EQ(30u, expected.size());
    std::size_t count = 0;
    const ListedCountry* list = ListedCountries(&count);
    ASSERT_EQ(30u, count);
    std::set<int> seen;
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_NE(nullptr, list[i].name);
        EXPECT_NE('\0', list[i].name[0]);
        seen.insert(list[i].geoId);
    }
    EXPECT_EQ(expected, seen);
    for (int id : expected)
        EXPECT_TRUE(IsListedGeoId(id)) << id;
}

TEST(RegionList, OtherLocationsAreNotListed)
{
    // 244 (United States), 0 (no location), neighbours of listed ids.
    for (int id : {244, 0, -94, 1, 13, 15, 93, 95, 241, 243, 223, 1000})
        EXPECT_FALSE(IsListedGeoId(id)) << id;
}

TEST(RegionList, NationTextIsReadLikeWtoi)
{
    EXPECT_TRUE(IsListedNationText(L"94"));      // Germany
    EXPECT_FALSE(IsListedNationText(L"244"));    // not listed
    EXPECT_FALSE(IsListedNationText(L""));       // absent value
    EXPECT_FALSE(IsListedNationText(L"abc"));    // non-numeric: 0
    EXPECT_TRUE(IsListedNationText(L" 122"));    // Japan, leading space skipped
    EXPECT_TRUE(IsListedNationText(L"39x"));     // Canada, trailing text ignored
    EXPECT_FALSE(IsListedNationText(L"4294967390"));  // saturates, does not wrap to 94
}

TEST(RegionList, NamesAreLabels)
{
    std::size_t count = 0;
    const ListedCountry* list = ListedCountries(&count);
    bool foundGermany = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (list[i].geoId == 94)
            foundGermany = std::string(list[i].name) == "Germany";
    }
    EXPECT_TRUE(foundGermany);
}

} // namespace
