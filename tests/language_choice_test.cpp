// The language list offered to the user and the language preselected at start-up.
#include "config/LanguageChoice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<LanguagePackInfo> Packs(std::initializer_list<int> ids)
{
    std::vector<LanguagePackInfo> packs;
    for (int id : ids) {
        LanguagePackInfo pack;
        pack.langId = id;
        pack.name = L"manifest name";
        packs.push_back(pack);
    }
    return packs;
}

std::wstring TitleOf(int id) { return id == 1031 ? L"Deutsch" : L"#" + std::to_wstring(id); }

} // namespace

TEST(LanguageChoice, ListIsEnglishThenThePacksInOrderWithTheirTitles)
{
    const std::vector<LanguageEntry> list = BuildLanguageList(Packs({1036, 1031, 1036}), TitleOf);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].displayName, L"English");
    EXPECT_EQ(list[0].langId, 1033);
    EXPECT_EQ(list[1].displayName, L"#1036");
    EXPECT_EQ(list[2].displayName, L"Deutsch");
    EXPECT_EQ(list[3].langId, 1036);
    EXPECT_EQ(BuildLanguageList({}, TitleOf).size(), 1u);
}

TEST(LanguageChoice, CommandLineThenUiLanguageThenEnglish)
{
    const std::vector<LanguageEntry> list = BuildLanguageList(Packs({1031, 1040}), TitleOf);
    EXPECT_EQ(ChooseLanguageId(list, 1031, L""), 1031);
    EXPECT_EQ(ChooseLanguageId(list, 1031, L"1040"), 1040);
    // A requested language without a pack gives English; the UI language is not looked at.
    EXPECT_EQ(ChooseLanguageId(list, 1031, L"1036"), 1033);
    EXPECT_EQ(ChooseLanguageId(list, 1036, L""), 1033);
    EXPECT_EQ(ChooseLanguageId(list, 2055, L""), 1033);
    // Numbers are read like _wtoi; below 1 is no request.
    EXPECT_EQ(ChooseLanguageId(list, 1031, L" 1040abc"), 1040);
    EXPECT_EQ(ChooseLanguageId(list, 1031, L"0"), 1031);
    EXPECT_EQ(ChooseLanguageId(list, 1031, L"-1040"), 1031);
    EXPECT_EQ(ChooseLanguageId(list, 1031, L"/s"), 1031);
    EXPECT_EQ(ChooseLanguageId(list, 1033, L"1033"), 1033);
    EXPECT_EQ(ChooseLanguageId({}, 1031, L""), 1033);
}
