// Version comparison, _wtoi-like number reading and the start decision rule.
#include "config/TextNumber.h"
#include "config/StartDecision.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using testing_support::Utf16;

TEST(WtoiLike, ReadsLeadingNumberLikeTheRuntime)
{
    EXPECT_EQ(94, WtoiLike(L"94"));
    EXPECT_EQ(0, WtoiLike(L""));
    EXPECT_EQ(0, WtoiLike(L"abc"));
    EXPECT_EQ(7, WtoiLike(L"7a"));
    EXPECT_EQ(12, WtoiLike(L" \t\r\n12"));
    EXPECT_EQ(-12, WtoiLike(L"-12"));
    EXPECT_EQ(12, WtoiLike(L"+12"));
    EXPECT_EQ(0, WtoiLike(L"+-12"));
    EXPECT_EQ(0, WtoiLike(L"- 12"));
    EXPECT_EQ(1, WtoiLike(L"1 2"));
    EXPECT_EQ(0, WtoiLike(L"\xFF11"));  // a full-width digit is no digit here
}

TEST(WtoiLike, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(INT_MAX, WtoiLike(L"2147483647"));
    EXPECT_EQ(INT_MAX, WtoiLike(L"2147483648"));
    EXPECT_EQ(INT_MIN, WtoiLike(L"-2147483648"));
    EXPECT_EQ(INT_MIN, WtoiLike(L"-2147483649"));
    EXPECT_EQ(INT_MAX, WtoiLike(std::wstring(5000, L'9')));
    EXPECT_EQ(INT_MIN, WtoiLike(L"-" + std::wstring(5000, L'9')));
}

void ExpectVersion(const std::wstring& text, unsigned a, unsigned b, unsigned c, unsigned d)
{
    const VersionNumbers v = ParseVersion(text);
    EXPECT_EQ(a, v.p1);
    EXPECT_EQ(b, v.p2);
    EXPECT_EQ(c, v.p3);
    EXPECT_EQ(d, v.p4);
}

TEST(ParseVersion, FourDottedNumbers)
{
    ExpectVersion(L"7.0.1.500", 7, 0, 1, 500);
    ExpectVersion(L"10.20.30.40", 10, 20, 30, 40);
    ExpectVersion(L"7.0.1.5", 7, 0, 1, 5);    // exactly seven characters
}

TEST(ParseVersion, TooShortTextsAreZero)
{
    ExpectVersion(L"7.0", 0, 0, 0, 0);
    ExpectVersion(L"7.0.1.", 0, 0, 0, 0);    // six characters
    ExpectVersion(L"1.2.3.4", 1, 2, 3, 4);
    ExpectVersion(L"", 0, 0, 0, 0);
}

TEST(ParseVersion, OnlyExactlyFourPiecesCount)
{
    ExpectVersion(L"7.0.1.500.1", 0, 0, 0, 0);
    ExpectVersion(L"7.0.1500", 0, 0, 0, 0);
    ExpectVersion(L"1234567", 0, 0, 0, 0);
    ExpectVersion(L".......", 0, 0, 0, 0);
}

TEST(ParseVersion, RunsOfDotsAreOneSeparator)
{
    ExpectVersion(L"7..0...1.5", 7, 0, 1, 5);
    ExpectVersion(L"..7.0.1.5", 7, 0, 1, 5);
    ExpectVersion(L"7.0.1.5..", 7, 0, 1, 5);
}

TEST(ParseVersion, PiecesAreReadLikeWtoi)
{
    ExpectVersion(L"7a.0.1.5b", 7, 0, 1, 5);
    ExpectVersion(L"x.y.z.9", 0, 0, 0, 9);
    ExpectVersion(L" 7.0 .1.5", 7, 0, 1, 5);
    // A negative piece keeps its int value as unsigned.
    ExpectVersion(L"7.0.1.-1", 7, 0, 1, 4294967295u);
    // Overlong pieces saturate rather than overflow.
    ExpectVersion(L"99999999999.0.1.5", 2147483647u, 0, 1, 5);
}

TEST(ParseVersion, EndsAtAnEmbeddedNull)
{
    std::wstring text = L"7.0.1.5";
    text += L'\0';
    text += L".9";
    ExpectVersion(text, 7, 0, 1, 5);
    std::wstring shortText = L"7.0";
    shortText += L'\0';
    shortText += L"0000.1";
    ExpectVersion(shortText, 0, 0, 0, 0);
}

TEST(IsNewerVersion, FirstSecondAndFourthNumbersDecide)
{
    EXPECT_TRUE(IsNewerVersion(L"7.1.0.600", L"7.0.5.500"));
    EXPECT_FALSE(IsNewerVersion(L"7.0.5.600", L"7.0.1.600"));  // equal fourth numbers
    EXPECT_FALSE(IsNewerVersion(L"8.0.0.9", L"7.9.9.1"));      // different first numbers
    EXPECT_FALSE(IsNewerVersion(L"7.0", L"7.0"));              // both 0.0.0.0
    EXPECT_FALSE(IsNewerVersion(L"7.0.1.500", L"7.0.1.500"));
    EXPECT_TRUE(IsNewerVersion(L"7.0.0.501", L"7.0.9.500"));   // third number ignored
    EXPECT_FALSE(IsNewerVersion(L"7.0.1.600", L"7.1.0.500"));  // lower second number
    EXPECT_TRUE(IsNewerVersion(L"7.2.1.600", L"7.1.9.500"));
    EXPECT_TRUE(IsNewerVersion(L"0.0.0.1", L"7.0"));           // against 0.0.0.0
}

StartDecisionInput Installed()
{
    StartDecisionInput in;
    in.productInstalled = true;
    in.installedVersion = L"7.0.1.500";
    in.installedProductName = L"VARO Pro";
    in.fullName = L"VARO Pro";
    in.standaloneVersion = L"7.0.1.600";
    in.webInstallerVersion = L"7.0.0.10";
    in.freshMinWebInstallerVersion = L"7.0.0.5";
    in.patchMinWebInstallerVersion = L"7.0.0.5";
    return in;
}

StartDecisionInput NotInstalled()
{
    StartDecisionInput in;
    in.fullName = L"VARO Pro";
    in.standaloneVersion = L"7.0.1.600";
    in.webInstallerVersion = L"7.0.0.10";
    in.freshMinWebInstallerVersion = L"7.0.0.5";
    in.patchMinWebInstallerVersion = L"7.0.0.5";
    return in;
}

TEST(StartDecision, InstalledCases)
{
    EXPECT_EQ(0, GetStartDecision(Installed()));

    StartDecisionInput same = Installed();
    same.standaloneVersion = L"7.0.1.500";
    EXPECT_EQ(1, GetStartDecision(same));

    StartDecisionInput older = Installed();
    older.standaloneVersion = L"7.0.1.400";
    EXPECT_EQ(1, GetStartDecision(older));

    StartDecisionInput other = Installed();
    other.installedProductName = L"VARO Lite";
    EXPECT_EQ(6, GetStartDecision(other));

    StartDecisionInput tooOld = Installed();
    tooOld.patchMinWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(2, GetStartDecision(tooOld));

    // The fresh minimum is not consulted for an update.
    StartDecisionInput freshOnly = Installed();
    freshOnly.freshMinWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(0, GetStartDecision(freshOnly));
}

TEST(StartDecision, NameComparisonIgnoresCase)
{
    StartDecisionInput in = Installed();
    in.installedProductName = L"VARO pro";
    EXPECT_EQ(0, GetStartDecision(in));
    in.installedProductName = L"varo PRO";
    EXPECT_EQ(0, GetStartDecision(in));
    in.installedProductName = L"VARO Pro ";
    EXPECT_EQ(6, GetStartDecision(in));
}

TEST(StartDecision, PortableComparisonFoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(EqualIgnoringAsciiCase(L"Varo Pro 7", L"VARO PRO 7"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"VARO", L"VAR"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"[", L"{"));  // 0x5B vs 0x7B: not letters
    EXPECT_FALSE(EqualIgnoringAsciiCase(L"@", L"`"));
    EXPECT_TRUE(EqualIgnoringAsciiCase(Utf16("Pr\xC3\xB6"), Utf16("PR\xC3\xB6")));
    EXPECT_FALSE(EqualIgnoringAsciiCase(Utf16("pr\xC3\xB6"), Utf16("PR\xC3\x96")));
}

bool FoldAll(const std::wstring&, const std::wstring&)
{
    return true;
}

TEST(StartDecision, InjectedComparisonDecidesCodeSix)
{
    StartDecisionInput in = Installed();
    in.fullName = Utf16("VARO Pr\xC3\xB6");
    in.installedProductName = Utf16("VARO PR\xC3\x96");
    EXPECT_EQ(6, GetStartDecision(in));
    EXPECT_EQ(0, GetStartDecision(in, FoldAll));
    EXPECT_EQ(6, GetStartDecision(in, nullptr));  // null falls back to the portable one
}

TEST(StartDecision, InstalledButNothingKnownIsThreeWhateverTheVersions)
{
    StartDecisionInput in = Installed();
    in.installedVersion.clear();
    in.installedProductName.clear();
    EXPECT_EQ(3, GetStartDecision(in));
    in.standalone = true;
    in.standaloneVersion = L"7.0.1.500";
    in.patchMinWebInstallerVersion = L"7.0.0.99";
    EXPECT_EQ(3, GetStartDecision(in));
}

TEST(StartDecision, InstalledWithNameOnlyCounts)
{
    // A name without a version counts as installed. The empty version parses
    // as 0.0.0.0, so 7.x is not newer (first numbers differ) but 0.0.0.1 is.
    StartDecisionInput in = Installed();
    in.installedVersion.clear();
    EXPECT_EQ(1, GetStartDecision(in));
    in.standaloneVersion = L"0.0.0.1";
    EXPECT_EQ(0, GetStartDecision(in));
}

TEST(StartDecision, InstalledWithVersionOnlyIsAnotherProduct)
{
    StartDecisionInput in = Installed();
    in.installedProductName.clear();
    EXPECT_EQ(6, GetStartDecision(in));
}

TEST(StartDecision, InstalledStandaloneIgnoresServerMinimum)
{
    StartDecisionInput in = Installed();
    in.standalone = true;
    in.patchMinWebInstallerVersion = L"7.0.0.99";
    EXPECT_EQ(0, GetStartDecision(in));
    in.standaloneVersion = L"7.0.1.500";
    EXPECT_EQ(1, GetStartDecision(in));
}

TEST(StartDecision, NotInstalledCases)
{
    EXPECT_EQ(0, GetStartDecision(NotInstalled()));

    StartDecisionInput tooOld = NotInstalled();
    tooOld.freshMinWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(2, GetStartDecision(tooOld));

    // The patch minimum is not consulted for a fresh installation.
    StartDecisionInput patchOnly = NotInstalled();
    patchOnly.patchMinWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(0, GetStartDecision(patchOnly));

    // A minimum with another first number never counts as newer.
    StartDecisionInput major = NotInstalled();
    major.freshMinWebInstallerVersion = L"8.0.0.20";
    EXPECT_EQ(0, GetStartDecision(major));

    // A missing minimum (empty text) parses as 0.0.0.0: never newer.
    StartDecisionInput missing = NotInstalled();
    missing.freshMinWebInstallerVersion.clear();
    EXPECT_EQ(0, GetStartDecision(missing));
}

TEST(StartDecision, StandaloneNotInstalledLooksAtNoServerValue)
{
    StartDecisionInput in = NotInstalled();
    in.standalone = true;
    in.freshMinWebInstallerVersion = L"7.0.0.99";
    in.patchMinWebInstallerVersion = L"7.0.0.99";
    in.standaloneVersion = L"garbage";
    in.installedProductName = L"Other";  // not installed: names are not compared
    EXPECT_EQ(0, GetStartDecision(in));
}

TEST(StartDecision, NotInstalledIgnoresInstalledFields)
{
    StartDecisionInput in = NotInstalled();
    in.installedProductName = L"Other";
    in.installedVersion = L"7.0.1.900";
    EXPECT_EQ(0, GetStartDecision(in));
}

} // namespace
