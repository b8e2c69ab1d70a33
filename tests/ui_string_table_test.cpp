// The string-key table and the Windows-free parts of the language-file lookup.
#include "config/UIStringTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace {

size_t CountOf(const std::wstring& text, const std::wstring& part)
{
    size_t count = 0;
    for (size_t pos = text.find(part); pos != std::wstring::npos; pos = text.find(part, pos + 1))
        ++count;
    return count;
}

} // namespace

TEST(UIStringTable, HoldsThirtyNineDistinctNamedKeys)
{
    const UIStringKey* const* keys = AllUIStringKeys();
    std::set<std::wstring> names;
    for (size_t i = 0; i < kUIStringKeyCount; ++i) {
        ASSERT_NE(keys[i], nullptr) << i;
        const std::wstring name = keys[i]->name;
        EXPECT_EQ(name.rfind(L"IDS_", 0), 0u) << i;
        EXPECT_NE(std::wstring(keys[i]->defaultText), L"") << i;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), kUIStringKeyCount);
    EXPECT_EQ(keys[0], &IDS_INSTALL);
    EXPECT_EQ(keys[kUIStringKeyCount - 1], &IDS_RLINK_SLIDE_SHOW);
}

TEST(UIStringTable, ConstantsCarryTheirOwnNamesAndTexts)
{
    EXPECT_EQ(std::wstring(IDS_INSTALL.name), L"IDS_INSTALL");
    EXPECT_EQ(std::wstring(IDS_INSTALL.defaultText), L"Install");
    EXPECT_EQ(std::wstring(IDS_ERR_CLIENT_TOO_OLD.defaultText),
              L"The version of your client is too old, please click \"OK\" to download the "
              L"latest client.");
    // Long texts are written as several literals; the joins must keep their blanks.
    EXPECT_EQ(std::wstring(IDS_ERR_INSTALLED_ANOTHER_VERSION.defaultText),
              L"Another version of this product is already installed. Installation of this "
              L"version cannot continue. To configure or remove the existing version of this "
              L"product, use Add/Remove Programs on the Control Panel.");
    EXPECT_EQ(std::wstring(IDS_RLINK_TERMS.defaultText),
              L"https://www.pel-systems.com/varo-pro/7/license-terms");
    EXPECT_EQ(std::wstring(IDS_RLINK_SLIDE_SHOW.defaultText),
              L"https://www.pel-systems.com/varo-pro/7/whats-new");
}

TEST(UIStringTable, PlaceholdersMatchWhatTheirCallersFill)
{
    EXPECT_EQ(CountOf(IDS_TIME_REMAINING_HOURS.defaultText, L"%02d"), 3u);
    EXPECT_EQ(CountOf(IDS_TIME_REMAINING_MINS.defaultText, L"%02d"), 2u);
    EXPECT_EQ(CountOf(IDS_TIME_REMAINING_SECS.defaultText, L"%02d"), 1u);
    for (const UIStringKey* key : {&IDS_PRODUCT_READY, &IDS_LAUNCH_APP, &IDS_ERR_INSTALLED_ALREADY,
                                   &IDS_ERR_OUT_OF_DISK, &IDS_ERR_CREATE_FOLDER_FAILED,
                                   &IDS_ERR_DAMAGED_INSTALLER, &IDS_ERR_LAUNCH_FAILED})
        EXPECT_EQ(CountOf(key->defaultText, L"%s"), 1u) << key->name;
    EXPECT_EQ(CountOf(IDS_ERR_LOG_FILE.defaultText, L"%s"), 2u);
}

TEST(LanguagePaths, IniAndSlideFoldersFollowTheLanguageId)
{
    const std::wstring folder = L"C:\\Program Files\\Pel\\language\\";
    EXPECT_EQ(LanguageIniPath(folder, 1031), folder + L"1031\\string.ini");
    EXPECT_EQ(LanguageIniPath(L"", 1033), L"1033\\string.ini");
    EXPECT_EQ(LanguageIniPath(folder, -7), folder + L"-7\\string.ini");
    EXPECT_EQ(SlideFolderPath(folder, 1033, 150), folder + L"1033\\slides\\150\\");
    EXPECT_EQ(LanguageIdText(1036), L"1036");
}

TEST(LanguagePaths, SlideScaleSnapsDownToTheFourPictureSizes)
{
    struct Case { int dpi; int scale; };
    for (const Case& c : {Case{0, 100}, Case{96, 100}, Case{119, 100}, Case{120, 125},
                          Case{143, 125}, Case{144, 150}, Case{191, 150}, Case{192, 200},
                          Case{288, 200}})
        EXPECT_EQ(SlideScaleForDpi(c.dpi), c.scale) << c.dpi;
    const std::wstring at144 = SlideFolderPath(L"L\\", 1033, SlideScaleForDpi(144));
    EXPECT_EQ(at144.substr(at144.size() - 12), L"\\slides\\150\\");
}

TEST(LanguagePaths, OnlyTrueJpgNamesCountAsPictures)
{
    EXPECT_TRUE(HasJpgExtension(L"slide1.jpg"));
    EXPECT_TRUE(HasJpgExtension(L"SLIDE1.JPG"));
    EXPECT_TRUE(HasJpgExtension(L"a.b.JpG"));
    EXPECT_FALSE(HasJpgExtension(L"slide1.jpgx"));
    EXPECT_FALSE(HasJpgExtension(L"slide1.jpeg"));
    EXPECT_FALSE(HasJpgExtension(L"slide1jpg"));
    EXPECT_FALSE(HasJpgExtension(L"jpg"));
    EXPECT_FALSE(HasJpgExtension(L""));
}

namespace {

// Behaves like GetPrivateProfileStringW with a section and key: copies what
// fits, always terminates, and returns the count copied.
struct FakeProfile
{
    std::wstring value;
    int calls = 0;

    unsigned long operator()(wchar_t* buffer, unsigned long size)
    {
        ++calls;
        const size_t n = value.size() < size - 1 ? value.size() : size - 1;
        value.copy(buffer, n);
        buffer[n] = L'\0';
        return static_cast<unsigned long>(n);
    }
};

std::wstring Letters(size_t count)
{
    std::wstring s;
    for (size_t i = 0; i < count; ++i)
        s += static_cast<wchar_t>(L'a' + i % 26);
    return s;
}

} // namespace

TEST(ProfileValue, ShortValueIsReadOnce)
{
    FakeProfile fake{L"Installieren"};
    EXPECT_EQ(ReadUncutProfileValue(std::ref(fake)), L"Installieren");
    EXPECT_EQ(fake.calls, 1);
    FakeProfile empty{L""};
    EXPECT_EQ(ReadUncutProfileValue(std::ref(empty)), L"");
}

TEST(ProfileValue, ValueFillingTheBufferIsReadAgainWhole)
{
    for (size_t length : {258u, 259u, 260u, 261u, 600u, 5000u}) {
        FakeProfile fake{Letters(length)};
        EXPECT_EQ(ReadUncutProfileValue(std::ref(fake)), fake.value) << length;
        // Each full buffer doubles the room until the value fits with one to spare.
        int expectedCalls = 1;
        for (size_t size = kProfileBufferChars; length >= size - 1; size *= 2)
            ++expectedCalls;
        EXPECT_EQ(fake.calls, expectedCalls) << length;
    }
}

TEST(ProfileValue, ReaderThatNeverFitsOrOverreportsStaysBounded)
{
    int calls = 0;
    const std::wstring result = ReadUncutProfileValue([&](wchar_t* buffer, unsigned long size) {
        ++calls;
        buffer[0] = L'x';
        buffer[1] = L'\0';
        return size + 100; // claims more than the buffer holds
    });
    EXPECT_GE(result.size(), kMaxProfileValueChars - 1);
    EXPECT_LT(result.size(), 2 * kMaxProfileValueChars);
    EXPECT_EQ(result[0], L'x');
    EXPECT_LE(calls, 20);
}
