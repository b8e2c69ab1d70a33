// CUIStrings against real string.ini files and slide folders, read through the
// system's own INI reader and file search.
#include "config/UIStrings.h"
#include "controls/Dpi.h"

#include "TestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using testing_support::TempFolder;
using testing_support::Utf16;
using testing_support::WriteFileBytes;

namespace {

// UTF-16LE with a byte-order mark, as GetPrivateProfileStringW reads Unicode INI files.
std::string Utf16LeWithBom(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        const unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Bytes in the system's ANSI code page, as the system converts them.
std::wstring AnsiText(const std::string& bytes)
{
    wchar_t buffer[256] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      buffer, 256);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

class UIStringsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_languageFolder = m_temp.Path() + L"\\language\\";
        ASSERT_TRUE(CreateDirectoryW(m_languageFolder.c_str(), nullptr));
        m_strings.SetLanguageFolder(m_languageFolder);
    }

    std::wstring LanguageDir(int id) const { return m_languageFolder + std::to_wstring(id); }

    // Writes language\<id>\string.ini with the given bytes.
    void WriteIni(int id, const std::string& bytes)
    {
        CreateDirectoryW(LanguageDir(id).c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(LanguageDir(id) + L"\\string.ini", bytes));
    }

    void WriteUnicodeIni(int id, const std::string& utf8)
    {
        WriteIni(id, Utf16LeWithBom(Utf16(utf8)));
    }

    TempFolder m_temp;
    std::wstring m_languageFolder;
    CUIStrings m_strings;
};

} // namespace

TEST_F(UIStringsTest, GermanFileOverridesOneKeyAndLeavesTheRestEnglish)
{
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_INSTALL=Installieren\r\n");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), L"Installieren");
    const UIStringKey* const* keys = AllUIStringKeys();
    for (size_t i = 0; i < kUIStringKeyCount; ++i) {
        if (keys[i] == &IDS_INSTALL)
            continue;
        EXPECT_EQ(m_strings.GetUIString(*keys[i]), keys[i]->defaultText) << keys[i]->name;
    }
}

TEST_F(UIStringsTest, UnicodeFileKeepsCharactersOutsideTheCodePage)
{
    // "Jetzt starten – ß" and a Greek word: not all of it fits any one ANSI code page.
    const std::string text = "Jetzt starten \xE2\x80\x93 \xC3\x9F \xCE\xB1\xCE\xB2\xCE\xB3";
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_START_NOW=" + text + "\r\n");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetUIString(IDS_START_NOW), Utf16(text));
}

TEST_F(UIStringsTest, AnsiFileIsReadInTheSystemCodePage)
{
    const std::string value = "Installer \xE9t\xE9";
    const std::string title = "Fran\xE7" "ais";
    WriteIni(1036, "[UISTRING]\r\nIDS_INSTALL=" + value + "\r\n[LANGUAGE]\r\nTitle=" + title +
                       "\r\n");
    m_strings.m_nLanguageId = 1036;
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), AnsiText(value));
    EXPECT_EQ(m_strings.GetLanguageTitle(1036), AnsiText(title));
}

TEST_F(UIStringsTest, EmptyValueGivesEmptyTextNotTheDefault)
{
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_PREPARING=\r\n[RLINK]\r\nIDS_RLINK_TERMS=\r\n");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetUIString(IDS_PREPARING), L"");
    EXPECT_EQ(m_strings.GetLink(IDS_RLINK_TERMS), L"");
    EXPECT_EQ(m_strings.GetLink(IDS_RLINK_SLIDE_SHOW), IDS_RLINK_SLIDE_SHOW.defaultText);
}

TEST_F(UIStringsTest, EnglishWithoutFilesGivesEveryDefault)
{
    const UIStringKey* const* keys = AllUIStringKeys();
    for (size_t i = 0; i < kUIStringKeyCount; ++i)
        EXPECT_EQ(m_strings.GetUIString(*keys[i]), keys[i]->defaultText) << keys[i]->name;
    EXPECT_EQ(m_strings.GetLink(IDS_RLINK_TERMS), IDS_RLINK_TERMS.defaultText);
    EXPECT_EQ(m_strings.GetLink(IDS_RLINK_SLIDE_SHOW), IDS_RLINK_SLIDE_SHOW.defaultText);
}

TEST_F(UIStringsTest, LinksComeFromTheirOwnSection)
{
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_RLINK_TERMS=not a link\r\n"
                          "[RLINK]\r\nIDS_RLINK_TERMS=https://example.test/de/terms\r\n");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetLink(IDS_RLINK_TERMS), L"https://example.test/de/terms");
    EXPECT_EQ(m_strings.GetUIString(IDS_RLINK_TERMS), L"not a link");
}

TEST_F(UIStringsTest, LanguageChangeReachesTheNextLookup)
{
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_INSTALL=Installieren\r\n");
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), L"Install");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), L"Installieren");
    // The file is read anew at every lookup.
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_INSTALL=Jetzt installieren\r\n");
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), L"Jetzt installieren");
    m_strings.m_nLanguageId = 1033;
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), L"Install");
}

TEST_F(UIStringsTest, LanguageTitleIsReadForTheGivenIdOrIsTheIdItself)
{
    WriteUnicodeIni(1031, "[LANGUAGE]\r\nTitle=Deutsch\r\n");
    WriteUnicodeIni(1040, "[UISTRING]\r\nIDS_INSTALL=Installa\r\n");
    // The current language does not matter.
    m_strings.m_nLanguageId = 1033;
    EXPECT_EQ(m_strings.GetLanguageTitle(1031), L"Deutsch");
    EXPECT_EQ(m_strings.GetLanguageTitle(1036), L"1036");
    EXPECT_EQ(m_strings.GetLanguageTitle(1040), L"1040");
}

TEST_F(UIStringsTest, ValueLongerThanTheFirstBufferIsNotCut)
{
    // No blanks: the system reader trims them at the ends of a value, and
    // the shorter values below are cuts of this one.
    std::string longText = "Anfang";
    while (longText.size() < 700)
        longText += ",ein-sehr-langer-Text";
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_ERR_OUT_OF_DISK=" + longText + "\r\n"
                          "IDS_ERR_CAPTION=" + longText.substr(0, 259) + "\r\n"
                          "IDS_INSTALL=" + longText.substr(0, 260) + "\r\n");
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetUIString(IDS_ERR_OUT_OF_DISK), Utf16(longText));
    EXPECT_EQ(m_strings.GetUIString(IDS_ERR_CAPTION), Utf16(longText.substr(0, 259)));
    EXPECT_EQ(m_strings.GetUIString(IDS_INSTALL), Utf16(longText.substr(0, 260)));

    // What a single 260-character read gives, for the record.
    wchar_t buffer[260];
    const std::wstring path = LanguageDir(1031) + L"\\string.ini";
    const DWORD n = GetPrivateProfileStringW(L"UISTRING", L"IDS_ERR_OUT_OF_DISK", L"", buffer,
                                             260, path.c_str());
    EXPECT_EQ(n, 259u) << "the system reader did not cut the value; the re-read is then unused";
}

TEST_F(UIStringsTest, NoLanguageFolderMeansDefaultsNotFilesOfTheCurrentFolder)
{
    // A string.ini reachable relative to the current folder must not be used
    // before the manifest load has set the language folder.
    WriteUnicodeIni(1031, "[UISTRING]\r\nIDS_INSTALL=Installieren\r\n[LANGUAGE]\r\nTitle=Deutsch\r\n");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(m_languageFolder.c_str()));
    CUIStrings fresh;
    fresh.m_nLanguageId = 1031;
    const std::wstring text = fresh.GetUIString(IDS_INSTALL);
    const std::wstring title = fresh.GetLanguageTitle(1031);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(text, L"Install");
    EXPECT_EQ(title, L"1031");
}

namespace {

class SlidePicturesTest : public UIStringsTest
{
protected:
    void TearDown() override { ResetScreenDpiForTesting(); }

    std::wstring SlideDir(int id, int scale) const
    {
        return LanguageDir(id) + L"\\slides\\" + std::to_wstring(scale) + L"\\";
    }

    void MakeSlideDir(int id, int scale)
    {
        CreateDirectoryW(LanguageDir(id).c_str(), nullptr);
        CreateDirectoryW((LanguageDir(id) + L"\\slides").c_str(), nullptr);
        ASSERT_TRUE(CreateDirectoryW(SlideDir(id, scale).c_str(), nullptr));
    }

    void AddFile(const std::wstring& path) { ASSERT_TRUE(WriteFileBytes(path, "\xFF\xD8\xFF")); }

    static std::vector<std::wstring> Sorted(std::vector<std::wstring> v)
    {
        std::sort(v.begin(), v.end());
        return v;
    }
};

} // namespace

TEST_F(SlidePicturesTest, At144DpiPicturesComeFromTheScale150Folder)
{
    for (int scale : {100, 125, 150, 200}) {
        MakeSlideDir(1033, scale);
        AddFile(SlideDir(1033, scale) + L"slide" + std::to_wstring(scale) + L".jpg");
    }
    SetScreenDpiForTesting(144, 144);
    EXPECT_EQ(m_strings.GetSlidePictures(SnappedDpi()),
              std::vector<std::wstring>{SlideDir(1033, 150) + L"slide150.jpg"});
}

TEST_F(SlidePicturesTest, EachSnappedResolutionPicksItsFolder)
{
    struct Case { int dpi; int scale; };
    for (const Case& c : {Case{96, 100}, Case{120, 125}, Case{191, 150}, Case{192, 200}}) {
        MakeSlideDir(1033, c.scale);
        AddFile(SlideDir(1033, c.scale) + L"only.jpg");
        SetScreenDpiForTesting(c.dpi, c.dpi);
        CUIStrings strings; // a fresh list per resolution
        strings.SetLanguageFolder(m_languageFolder);
        EXPECT_EQ(strings.GetSlidePictures(SnappedDpi()),
                  std::vector<std::wstring>{SlideDir(1033, c.scale) + L"only.jpg"})
            << c.dpi;
    }
}

TEST_F(SlidePicturesTest, OnlyJpgFilesOfTheCurrentLanguageAreListed)
{
    MakeSlideDir(1031, 100);
    MakeSlideDir(1033, 100);
    const std::wstring dir = SlideDir(1031, 100);
    AddFile(dir + L"b.jpg");
    AddFile(dir + L"A.JPG");
    AddFile(dir + L"notes.txt");
    AddFile(dir + L"c.jpeg");
    ASSERT_TRUE(CreateDirectoryW((dir + L"folder.jpg").c_str(), nullptr));
    AddFile(SlideDir(1033, 100) + L"english.jpg");
    SetScreenDpiForTesting(96, 96);
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(Sorted(m_strings.GetSlidePictures(SnappedDpi())),
              (std::vector<std::wstring>{dir + L"A.JPG", dir + L"b.jpg"}));
}

TEST_F(SlidePicturesTest, FilledListIsKeptButAnEmptyOneIsSearchedAgain)
{
    SetScreenDpiForTesting(96, 96);
    m_strings.m_nLanguageId = 1031;
    EXPECT_TRUE(m_strings.GetSlidePictures(SnappedDpi()).empty()); // no folder yet

    MakeSlideDir(1031, 100);
    AddFile(SlideDir(1031, 100) + L"one.jpg");
    const std::vector<std::wstring> first = m_strings.GetSlidePictures(SnappedDpi());
    ASSERT_EQ(first, std::vector<std::wstring>{SlideDir(1031, 100) + L"one.jpg"});

    // Once filled, the list stays although files and language change.
    AddFile(SlideDir(1031, 100) + L"two.jpg");
    m_strings.m_nLanguageId = 1033;
    EXPECT_EQ(m_strings.GetSlidePictures(SnappedDpi()), first);
}

TEST_F(SlidePicturesTest, EmptySearchUsesTheLanguageCurrentAtTheNextCall)
{
    SetScreenDpiForTesting(96, 96);
    MakeSlideDir(1031, 100);
    AddFile(SlideDir(1031, 100) + L"de.jpg");
    EXPECT_TRUE(m_strings.GetSlidePictures(SnappedDpi()).empty()); // 1033 has no slides
    m_strings.m_nLanguageId = 1031;
    EXPECT_EQ(m_strings.GetSlidePictures(SnappedDpi()),
              std::vector<std::wstring>{SlideDir(1031, 100) + L"de.jpg"});
}
