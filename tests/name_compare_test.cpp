// Product name comparison on Windows, and the start decision using it.
#include "config/NameCompare.h"
#include "config/StartDecision.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::Utf16;

TEST(NameCompare, FoldsEveryLetter)
{
    EXPECT_TRUE(EqualNamesIgnoringCase(L"VARO Pro", L"VARO pro"));
    EXPECT_TRUE(EqualNamesIgnoringCase(Utf16("VARO Pr\xC3\xB6"), Utf16("varo PR\xC3\x96")));
    EXPECT_TRUE(EqualNamesIgnoringCase(Utf16("\xD0\x92\xD0\xB0\xD1\x80\xD0\xBE"),
                                       Utf16("\xD0\x92\xD0\x90\xD0\xA0\xD0\x9E")));  // Cyrillic
    EXPECT_TRUE(EqualNamesIgnoringCase(L"", L""));
}

TEST(NameCompare, DifferentNamesStayDifferent)
{
    EXPECT_FALSE(EqualNamesIgnoringCase(L"VARO Pro", L"VARO Lite"));
    EXPECT_FALSE(EqualNamesIgnoringCase(L"VARO Pro", L"VARO Pro "));
    EXPECT_FALSE(EqualNamesIgnoringCase(L"VARO", L""));
    EXPECT_FALSE(EqualNamesIgnoringCase(Utf16("Stra\xC3\x9F" "e"), L"STRASSE"));  // ordinal
    std::wstring withNull = L"VARO";
    withNull += L'\0';
    withNull += L"x";
    EXPECT_FALSE(EqualNamesIgnoringCase(withNull, L"VARO"));
}

TEST(NameCompare, StartDecisionWithWindowsComparison)
{
    StartDecisionInput in;
    in.productInstalled = true;
    in.installedVersion = L"7.0.1.500";
    in.installedProductName = Utf16("VARO PR\xC3\x96");
    in.fullName = Utf16("VARO Pr\xC3\xB6");
    in.standaloneVersion = L"7.0.1.600";
    in.webInstallerVersion = L"7.0.0.10";
    EXPECT_EQ(0, GetStartDecision(in, EqualNamesIgnoringCase));
    EXPECT_EQ(6, GetStartDecision(in)); // the portable fold leaves the umlaut alone
}

} // namespace
