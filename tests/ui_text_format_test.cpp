// Filling the placeholders of user-interface texts, which may come from a
// translator's string.ini and so must never read arguments that were not given.
#include "config/UITextFormat.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

// What swprintf makes of a well-formed pattern with one text and one number.
std::wstring Printf(const wchar_t* pattern, const wchar_t* text, int number)
{
    wchar_t buffer[512];
    const int n = std::swprintf(buffer, 512, pattern, text, number);
    return n < 0 ? std::wstring(L"<error>") : std::wstring(buffer, static_cast<size_t>(n));
}

std::wstring Printf(const wchar_t* pattern, int a, int b, int c)
{
    wchar_t buffer[512];
    const int n = std::swprintf(buffer, 512, pattern, a, b, c);
    return n < 0 ? std::wstring(L"<error>") : std::wstring(buffer, static_cast<size_t>(n));
}

} // namespace

TEST(UITextFormat, WellFormedPatternsMatchPrintf)
{
    for (const wchar_t* pattern : {L"%ls is ready", L"Launch %ls (%d)", L"[%8ls|%-6d]", L"[%ls|%04d]",
                                   L"[%-8ls|%3d]", L"%.3ls/%.4d", L"100%% of %ls, %d"}) {
        EXPECT_EQ(FormatUIText(pattern, {L"Varo", 7}), Printf(pattern, L"Varo", 7)) << pattern;
        EXPECT_EQ(FormatUIText(pattern, {L"Varo", -42}), Printf(pattern, L"Varo", -42))
            << pattern;
    }
    for (const wchar_t* pattern : {L"%02d hours %02d mins %02d secs remaining...",
                                   L"%02d mins %02d secs remaining...", L"%d-%i-%u"}) {
        EXPECT_EQ(FormatUIText(pattern, {1, 5, 59}), Printf(pattern, 1, 5, 59)) << pattern;
        EXPECT_EQ(FormatUIText(pattern, {123, 0, 7}), Printf(pattern, 123, 0, 7)) << pattern;
    }
}

TEST(UITextFormat, MissingArgumentsWriteNothing)
{
    EXPECT_EQ(FormatUIText(L"%s and %s", {L"one"}), L"one and ");
    EXPECT_EQ(FormatUIText(L"%02d:%02d:%02d", {4}), L"04::");
    EXPECT_EQ(FormatUIText(L"no placeholders", {L"unused", 3}), L"no placeholders");
}

TEST(UITextFormat, UnknownConversionsAreCopiedNotInterpreted)
{
    EXPECT_EQ(FormatUIText(L"%n%p%x %s", {L"ok"}), L"%n%p%x ok");
    EXPECT_EQ(FormatUIText(L"50%", {L"unused"}), L"50%");
    EXPECT_EQ(FormatUIText(L"%-", {}), L"%-");
    EXPECT_EQ(FormatUIText(L"%+d", {5}), L"%+d");
    EXPECT_EQ(FormatUIText(L"%%s", {L"x"}), L"%s");
}

TEST(UITextFormat, ArgumentKindFollowsTheArgumentNotTheConversion)
{
    EXPECT_EQ(FormatUIText(L"%d MB", {L"512"}), L"512 MB");
    EXPECT_EQ(FormatUIText(L"%s MB", {2048}), L"2048 MB");
    EXPECT_EQ(FormatUIText(L"%05s", {L"ab"}), L"   ab");
    EXPECT_EQ(FormatUIText(L"%s", {static_cast<const wchar_t*>(nullptr)}), L"");
    EXPECT_EQ(FormatUIText(L"%d", {-9223372036854775807LL - 1}), L"-9223372036854775808");
}

TEST(UITextFormat, HugeWidthsAreCapped)
{
    const std::wstring out = FormatUIText(L"%999999999999d|%.99999999999s", {1, L"abc"});
    EXPECT_EQ(out.size(), static_cast<size_t>(kMaxFieldWidth) + 1 + 3);
    EXPECT_EQ(out.substr(out.size() - 5), L"1|abc");
}
