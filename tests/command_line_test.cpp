// Option parsing rules: keywords, values, the unconsumed value argument, last occurrence wins.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The installer's four options with the handlers' effects, plus a log of every call.
struct Options
{
    int silent = 0;
    int skipValidation = 0;
    int launchAfterInstall = 0;
    std::wstring language;
    std::vector<std::pair<std::string, std::wstring>> calls;

    COptionTable Table()
    {
        COptionTable table;
        table.Add("/s", [this](const std::wstring& v) { silent = 1; calls.emplace_back("/s", v); });
        table.Add("/n", [this](const std::wstring& v) { skipValidation = 1; calls.emplace_back("/n", v); });
        table.Add("/l", [this](const std::wstring& v) { launchAfterInstall = 1; calls.emplace_back("/l", v); });
        table.Add("/lang", [this](const std::wstring& v) { language = v; calls.emplace_back("/lang", v); });
        return table;
    }

    void Parse(const std::vector<std::wstring>& args) { Table().Parse(args, &AsciiNarrow); }
};

using Calls = std::vector<std::pair<std::string, std::wstring>>;

// A code unit from a number that may not fit a 16-bit wchar_t (only used where it does fit).
wchar_t Unit(long value)
{
    return static_cast<wchar_t>(value);
}
const std::wstring kProgram = L"C:\\Setup\\PelWebInstaller.exe";

TEST(CommandLineParse, SilentThenLaunchSetsBothAndSilentSeesTheNextArgument)
{
    Options o;
    o.Parse({kProgram, L"/s", L"/l"});
    EXPECT_EQ(1, o.silent);
    EXPECT_EQ(1, o.launchAfterInstall);
    EXPECT_EQ(0, o.skipValidation);
    EXPECT_EQ((Calls{{"/s", L"/l"}, {"/l", L""}}), o.calls);
}

TEST(CommandLineParse, LanguageTakesTheNextArgument)
{
    Options o;
    o.Parse({kProgram, L"/lang", L"1031"});
    EXPECT_EQ(L"1031", o.language);
    EXPECT_EQ(0, o.silent);
}

TEST(CommandLineParse, ValueStartingWithSlashIsTakenAndStillExaminedAsKeyword)
{
    Options o;
    o.Parse({kProgram, L"/lang", L"/s"});
    EXPECT_EQ(L"/s", o.language);
    EXPECT_EQ(1, o.silent);
    EXPECT_EQ((Calls{{"/lang", L"/s"}, {"/s", L""}}), o.calls);
}

TEST(CommandLineParse, ValueStartingWithBackslashIsRefused)
{
    Options o;
    o.Parse({kProgram, L"/lang", L"\\x"});
    EXPECT_EQ(L"", o.language);
    ASSERT_EQ(1u, o.calls.size());
    EXPECT_EQ(L"", o.calls[0].second);

    Options single;
    single.Parse({kProgram, L"/lang", L"\\"});
    EXPECT_EQ((Calls{{"/lang", L""}}), single.calls);
}

TEST(CommandLineParse, OnlyTheFirstCharacterDecidesAboutBackslash)
{
    Options o;
    o.Parse({kProgram, L"/lang", L"a\\b"});
    EXPECT_EQ(L"a\\b", o.language);
}

TEST(CommandLineParse, KeywordAtLastIndexGetsEmptyValue)
{
    Options o;
    o.language = L"previous";
    o.Parse({kProgram, L"/lang"});
    EXPECT_EQ(L"", o.language);
    EXPECT_EQ((Calls{{"/lang", L""}}), o.calls);
}

TEST(CommandLineParse, LaterOccurrenceWins)
{
    Options o;
    o.Parse({kProgram, L"/lang", L"a", L"/lang", L"b"});
    EXPECT_EQ(L"b", o.language);
    EXPECT_EQ((Calls{{"/lang", L"a"}, {"/lang", L"b"}}), o.calls);
}

TEST(CommandLineParse, KeywordsAreExactAndCaseSensitive)
{
    Options o;
    o.Parse({kProgram, L"/S", L"-s", L"/L", L"/LANG", L"1031", L"/s ", L" /s", L"/silent", L"s",
             L"/lang=1031", L"//s"});
    EXPECT_EQ(0, o.silent);
    EXPECT_EQ(0, o.launchAfterInstall);
    EXPECT_EQ(L"", o.language);
    EXPECT_TRUE(o.calls.empty());
}

TEST(CommandLineParse, EmptyArgumentsAreNoKeywordsAndGiveEmptyValues)
{
    Options o;
    o.Parse({kProgram, L"", L"/lang", L"", L"/s", L""});
    EXPECT_EQ(L"", o.language);
    EXPECT_EQ(1, o.silent);
    EXPECT_EQ((Calls{{"/lang", L""}, {"/s", L""}}), o.calls);

    Options none;
    none.Parse({});
    none.Parse({L""});
    EXPECT_TRUE(none.calls.empty());
}

TEST(CommandLineParse, ProgramPathAtIndexZeroIsExaminedToo)
{
    Options o;
    o.Parse({L"/s"});
    EXPECT_EQ(1, o.silent);

    Options lang;
    lang.Parse({L"/lang", L"1036", L"/n"});
    EXPECT_EQ(L"1036", lang.language);
    EXPECT_EQ(1, lang.skipValidation);
}

TEST(CommandLineParse, NonAsciiArgumentsNeverMatch)
{
    Options o;
    // Code units above 0x7F must not be cut down to their low byte ('/' is 0x2F, 's' 0x73).
    std::wstring wideSlash = {static_cast<wchar_t>(0x012F), L's'};
    std::wstring fullWidth = {static_cast<wchar_t>(0xFF0F), static_cast<wchar_t>(0xFF53)};
    std::wstring highS = {L'/', static_cast<wchar_t>(0x0173)};
    o.Parse({kProgram, wideSlash, fullWidth, highS});
    EXPECT_EQ(0, o.silent);
    if (sizeof(wchar_t) > 2) {
        // Natively wchar_t holds 32 bits: a value beyond 16 bits must not wrap either.
        std::wstring beyond = {Unit(0x1002F), L's'};
        std::wstring negative = {Unit(-0xFFD1), L's'};
        o.Parse({kProgram, beyond, negative});
        EXPECT_EQ(0, o.silent);
    }
}

TEST(CommandLineTable, FindAddAndReplace)
{
    COptionTable table;
    EXPECT_EQ(nullptr, table.Find("/s"));
    int first = 0, second = 0;
    table.Add("/s", [&](const std::wstring&) { ++first; });
    ASSERT_NE(nullptr, table.Find("/s"));
    EXPECT_EQ(nullptr, table.Find("/S"));
    EXPECT_EQ(nullptr, table.Find(""));
    table.Add("/s", [&](const std::wstring&) { ++second; });
    table.Parse({L"x", L"/s"}, &AsciiNarrow);
    EXPECT_EQ(0, first);
    EXPECT_EQ(1, second);
}

TEST(CommandLineTable, EmptyHandlerIsSkipped)
{
    COptionTable table;
    table.Add("/x", nullptr);
    int after = 0;
    table.Add("/y", [&](const std::wstring& v) { after += v == L"/x" ? 1 : 100; });
    table.Parse({L"/x", L"/y", L"/x"}, &AsciiNarrow);
    EXPECT_EQ(1, after);
}

TEST(CommandLineTable, ConverterIsTheOneMatchedWith)
{
    // The table matches what the injected conversion returns, not the wide text itself.
    COptionTable table;
    std::wstring seen;
    table.Add("/lang", [&](const std::wstring& v) { seen = v; });
    table.Parse({L"/LANG", L"1031"}, [](const std::wstring& w) {
        std::string s = AsciiNarrow(w);
        for (char& c : s)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    });
    EXPECT_EQ(L"1031", seen);
}

TEST(CommandLineNarrow, AsciiIsKeptOthersBecomeQuestionMarks)
{
    EXPECT_EQ("/lang", AsciiNarrow(L"/lang"));
    EXPECT_EQ("", AsciiNarrow(L""));
    std::wstring mixed = {L'a', static_cast<wchar_t>(0x80), static_cast<wchar_t>(0xE9),
                          static_cast<wchar_t>(0xD800), L'z'};
    EXPECT_EQ("a???z", AsciiNarrow(mixed));
    std::wstring withNul(L"/s");
    withNul += L'\0';
    EXPECT_EQ(std::string("/s\0", 3), AsciiNarrow(withNul));
}

} // namespace
