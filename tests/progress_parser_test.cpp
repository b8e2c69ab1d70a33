// The installer progress parser: the service's progress fields turned into an
// item percentage that never goes back, and the home page capture.
#include "engine/ProgressParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Runs messages through one state and keeps every report.
class ProgressRun
{
public:
    ProgressRun()
    {
        m_report = [this](int32_t index, int32_t percent) {
            m_reports.emplace_back(index, percent);
        };
    }

    int Send(const std::wstring& text) { return ParseProgressMessage(state, text, m_report); }

    std::vector<int32_t> Percents() const
    {
        std::vector<int32_t> out;
        for (const auto& r : m_reports)
            out.push_back(r.second);
        return out;
    }
    const std::vector<std::pair<int32_t, int32_t>>& Reports() const { return m_reports; }
    const ItemPercentReport& Report() const { return m_report; }

    ProgressHandlerState state;

private:
    std::vector<std::pair<int32_t, int32_t>> m_reports;
    ItemPercentReport m_report;
};

// The text in a heap block of exactly its own length, with no terminator
// after it: a read past its end is caught by the address sanitizer.
class ExactText
{
public:
    explicit ExactText(const std::wstring& text)
        : m_size(text.size()), m_data(new wchar_t[text.size() ? text.size() : 1])
    {
        std::copy(text.begin(), text.end(), m_data.get());
    }
    std::wstring_view View() const { return std::wstring_view(m_data.get(), m_size); }

private:
    size_t m_size;
    std::unique_ptr<wchar_t[]> m_data;
};

} // namespace

TEST(ProgressParser, ResetsContinueFromTheHighestPercent)
{
    ProgressRun run;
    EXPECT_EQ(run.Send(L"1: 0 2: 1000 3: 0 4: 0"), kProgressOk);
    EXPECT_EQ(run.Send(L"1: 2 2: 250"), kProgressOk);
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{25}));

    // 25 + 250 / 500 * 75 = 62.5, truncated.
    run.Send(L"1: 0 2: 500 3: 0 4: 1");
    EXPECT_EQ(run.state.basePercent, 25);
    run.Send(L"1: 2 2: 250");
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{25, 62}));
    run.Send(L"1: 2 2: 250");
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{25, 62, 100}));
}

TEST(ProgressParser, SinglePrecisionTruncatesTowardZero)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 3 3: 0 4: 0");
    run.Send(L"1: 2 2: 1");  // 33.33
    run.Send(L"1: 2 2: 1");  // 66.67
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{33, 66}));
}

TEST(ProgressParser, BackwardBarStartsAtItsEndAndNeverLowersThePercent)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 1 4: 0");
    EXPECT_FALSE(run.state.forward);
    EXPECT_EQ(run.state.position, 100);
    run.Send(L"1: 2 2: 30");
    run.Send(L"1: 2 2: 30");
    EXPECT_EQ(run.state.position, 40);
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{70, 70}));
}

TEST(ProgressParser, ActionInformationAdvancesOnlyWithField3)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    run.Send(L"1: 1 2: 10 3: 0");
    EXPECT_EQ(run.state.position, 0);
    EXPECT_TRUE(run.Reports().empty());
    run.Send(L"1: 1 2: 10 3: 1");
    EXPECT_EQ(run.state.position, 10);
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{10}));
}

TEST(ProgressParser, MissingFieldsKeepTheirValuesAndReadingStopsByType)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    run.Send(L"1: 1 2: 5 3: 1");
    // A progress report does not read field 3; a later action message
    // without field 3 keeps the 1 it had.
    run.Send(L"1: 2 2: 5 3: 0");
    EXPECT_EQ(run.state.field3, 1);
    run.Send(L"1: 1 2: 5");
    EXPECT_EQ(run.state.position, 15);
    // No field 1: the last kind (action information) applies.
    run.Send(L"2: 5");
    EXPECT_EQ(run.state.position, 20);
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{5, 10, 15, 20}));
}

TEST(ProgressParser, ReportsTheCurrentItemIndex)
{
    ProgressRun run;
    run.state.currentItemIndex = 3;
    run.Send(L"1: 0 2: 10 3: 0 4: 0");
    run.Send(L"1: 2 2: 5");
    ASSERT_EQ(run.Reports().size(), 1u);
    EXPECT_EQ(run.Reports()[0], std::make_pair(3, 50));
}

TEST(ProgressParser, NoBarYetMovesThePositionButReportsNothing)
{
    ProgressRun run;
    run.Send(L"1: 2 2: 40");
    EXPECT_EQ(run.state.position, 40);
    EXPECT_TRUE(run.Reports().empty());
    run.Send(L"1: 0 2: 0 3: 0 4: 0");
    run.Send(L"1: 2 2: 40");
    EXPECT_TRUE(run.Reports().empty());
}

TEST(ProgressParser, AddTicksAndUnknownKindsChangeNothing)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    run.Send(L"1: 3 2: 400");
    run.Send(L"1: 7 2: 400");
    EXPECT_EQ(run.state.totalTicks, 100);
    EXPECT_EQ(run.state.position, 0);
    EXPECT_TRUE(run.Reports().empty());
}

TEST(ProgressParser, MalformedMessagesAreAnsweredOkAndLeaveTheBar)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    EXPECT_EQ(run.Send(L""), kProgressOk);
    EXPECT_EQ(run.Send(L"1: x 2: 50"), kProgressOk);
    EXPECT_EQ(run.Send(L"x: 2 2: 50"), kProgressOk);
    EXPECT_EQ(run.Send(L"5: 1"), kProgressOk);
    EXPECT_EQ(run.state.position, 0);
    EXPECT_TRUE(run.Reports().empty());
}

TEST(ProgressParser, CancelIsAnsweredOnTheNextMessage)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    EXPECT_EQ(run.Send(L"1: 2 2: 10"), kProgressOk);
    run.state.installerCancel = true;
    EXPECT_EQ(run.Send(L"1: 2 2: 10"), kProgressCancel);
    EXPECT_EQ(run.Send(L"1: 0 2: 100 3: 0 4: 0"), kProgressCancel);
}

TEST(ProgressParser, ResetForPackageStartsAFreshBarAndKeepsACancel)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 10 3: 1 4: 0");
    run.Send(L"1: 2 2: 1");
    EXPECT_EQ(run.state.highestPercent, 90);
    run.state.ResetForPackage();
    EXPECT_EQ(run.state.highestPercent, 0);
    EXPECT_EQ(run.state.basePercent, 0);
    EXPECT_EQ(run.state.totalTicks, 0);
    EXPECT_TRUE(run.state.forward);
    EXPECT_EQ(run.state.position, 0);
    // The next package's bar starts at 0 percent, not at the last package's 90.
    run.Send(L"1: 0 2: 10 3: 0 4: 0");
    run.Send(L"1: 2 2: 1");
    EXPECT_EQ(run.Percents().back(), 10);

    run.state.installerCancel = true;
    run.state.ResetForPackage();
    EXPECT_TRUE(run.state.installerCancel.load());
    EXPECT_EQ(run.Send(L"1: 2 2: 1"), kProgressCancel);
}

TEST(ProgressParserBounds, PercentStaysWithinTheItem)
{
    ProgressRun run;
    // The service sends more ticks than it announced.
    run.Send(L"1: 0 2: 100 3: 0 4: 0");
    run.Send(L"1: 2 2: 150");
    run.Send(L"1: 2 2: 100");
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{100, 100}));
    // A negative total gives a negative share: the percent stays where it was.
    ProgressRun negative;
    negative.Send(L"1: 0 2: -100 3: 0 4: 0");
    negative.Send(L"1: 2 2: 50");
    EXPECT_EQ(negative.Percents(), (std::vector<int32_t>{0}));
}

TEST(ProgressParserBounds, NumbersBeyond32BitsSaturate)
{
    ProgressRun run;
    run.Send(L"1: 0 2: 99999999999999999999 3: 0 4: 0");
    EXPECT_EQ(run.state.totalTicks, INT_MAX);
    run.Send(L"1: 2 2: 99999999999999999999");
    run.Send(L"1: 2 2: 99999999999999999999");
    EXPECT_EQ(run.state.position, INT_MAX);
    run.Send(L"1: 0 2: 1 3: 0 4: 0");
    run.Send(L"1: 2 2: -99999999999999999999");
    run.Send(L"1: 2 2: -99999999999999999999");
    EXPECT_EQ(run.state.position, INT_MIN);
    for (int32_t p : run.Percents()) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
}

TEST(ProgressParserBounds, CutTextsAreReadOnlyWithinTheirLength)
{
    // Each text ends where the service might stop writing; the characters
    // that would follow in a whole message must not be read.
    const std::wstring whole = L"1: 0 2: 100 3: 0 4: 0";
    for (size_t n = 1; n <= whole.size(); ++n) {
        ProgressHandlerState state;
        ExactText text(whole.substr(0, n));
        EXPECT_EQ(ParseProgressMessage(state, text.View(), nullptr), kProgressOk) << n;
    }
    const wchar_t* cut[] = {L"1", L"1:", L"1: ", L"2", L"2:", L"2: ", L"3: 7", L"4", L"1: 2 2:"};
    for (const wchar_t* t : cut) {
        ProgressHandlerState state;
        state.totalTicks = 10;
        ExactText text(t);
        ParseProgressMessage(state, text.View(), nullptr);
        EXPECT_GE(state.position, 0) << std::string(t, t + std::wcslen(t));
    }
    // "1:" cut before its digit is malformed: the bar is not touched.
    ProgressHandlerState state;
    state.field1 = 2;
    state.totalTicks = 10;
    ExactText text(L"1: ");
    ParseProgressMessage(state, text.View(), nullptr);
    EXPECT_EQ(state.field1, 2);
    EXPECT_EQ(state.position, 0);
}

TEST(ProgressParser, MessagesOfWinesInstallerGiveAGrowingPercent)
{
    // What Wine's msi.dll sent for the test package (trailing blanks included):
    // a bar of 24055 ticks, then 24000 + 55 + 55, one step more than announced.
    ProgressRun run;
    const wchar_t* messages[] = {L"1: 0 2: 24055 3: 0 4: 0 ", L"1: 2 2: 24000 3: 0 4: 0 ",
                                 L"1: 2 2: 55 3: 0 4: 0 ", L"1: 2 2: 55 3: 0 4: 0 "};
    for (const wchar_t* m : messages)
        EXPECT_EQ(run.Send(m), kProgressOk);
    EXPECT_EQ(run.Percents(), (std::vector<int32_t>{99, 100, 100}));
    EXPECT_EQ(run.state.field3, 0);
}

TEST(HomePageCapture, TakesTheAddressOnceAndTrimsIt)
{
    std::wstring url;
    CaptureHomePage(url, L"Property(S): ProductName = Quillo");
    EXPECT_EQ(url, L"");
    CaptureHomePage(url, L"Property(S):   InstallHomepageURL =  https://example.test/home \r\n");
    EXPECT_EQ(url, L"https://example.test/home");
    CaptureHomePage(url, L"Property(S): InstallHomepageURL = https://other.test/");
    EXPECT_EQ(url, L"https://example.test/home");
}

TEST(HomePageCapture, PrefixesIgnoreLetterCase)
{
    std::wstring url;
    CaptureHomePage(url, L"PROPERTY(s):installhomepageurl =http://a.test");
    EXPECT_EQ(url, L"http://a.test");
}

TEST(HomePageCapture, OtherLinesAndShortTextsLeaveItEmpty)
{
    const wchar_t* texts[] = {L"",
                              L"Property(S)",
                              L"Property(S):",
                              L"Property(C): InstallHomepageURL = http://client.test",
                              L"Property(S): InstallHomepageURLX = http://x.test",
                              L"Property(S): InstallHomepageURL",
                              L"Property(S): InstallHomepageURL =   ",
                              L"Action start 12:00:00: InstallFiles."};
    for (const wchar_t* t : texts) {
        std::wstring url;
        ExactText text(t);
        CaptureHomePage(url, text.View());
        EXPECT_EQ(url, L"") << std::string(t, t + std::wcslen(t));
    }
}
