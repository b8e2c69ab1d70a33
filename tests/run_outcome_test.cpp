// How the run's outcome becomes the exit code: restart requests of packages and setup
// programs, and the main dialog ending without a report.
#include "app/InstallGuide.h"
#include "engine/PackageInstaller.h"
#include "engine/RunOutcome.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class RunOutcomeTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetRunOutcomeForTesting(); }
    void TearDown() override { ResetRunOutcomeForTesting(); }
};

InstallItem CmdExiting(int code)
{
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    InstallItem item;
    item.localPath = std::wstring(system) + L"\\cmd.exe";
    item.arguments = L"/c exit " + std::to_wstring(code);
    return item;
}

TEST_F(RunOutcomeTest, MainDialogEndingWithoutAReportCountsAsCancelled)
{
    EXPECT_EQ(OutcomeAfterMainDialog(true, false, RunOutcomeSuccess), 1602u);
    EXPECT_EQ(OutcomeAfterMainDialog(true, false, RunOutcomeFailed), 1602u);
    EXPECT_EQ(OutcomeAfterMainDialog(true, true, RunOutcomeSuccess), 0u);
    EXPECT_EQ(OutcomeAfterMainDialog(true, true, RunOutcomeFailed), 1603u);
    EXPECT_EQ(OutcomeAfterMainDialog(true, true, RunOutcomeRebootRequired), 3010u);
    EXPECT_EQ(OutcomeAfterMainDialog(true, true, RunOutcomeCancelled), 1602u);
    EXPECT_EQ(OutcomeAfterMainDialog(false, false, RunOutcomeSuccess), 1603u);
}

TEST_F(RunOutcomeTest, OnlyResults3010And1641AreRestartRequests)
{
    for (DWORD code : {0ul, 1ul, 1602ul, 1603ul, 1638ul, 3011ul}) {
        NoteRestartRequest(code);
        EXPECT_FALSE(IsRebootRequired()) << code;
    }
    NoteRestartRequest(ERROR_SUCCESS_REBOOT_REQUIRED);
    EXPECT_TRUE(IsRebootRequired());
    ResetRunOutcomeForTesting();
    NoteRestartRequest(ERROR_SUCCESS_REBOOT_INITIATED);
    EXPECT_TRUE(IsRebootRequired());
    // Noting is not reporting: whoever ends the run still decides the outcome.
    EXPECT_FALSE(IsRunOutcomeReported());
}

TEST_F(RunOutcomeTest, SetupProgramExitingWith3010RequestsARestart)
{
    ASSERT_TRUE(RunSetupProgram(CmdExiting(0)));
    EXPECT_FALSE(IsRebootRequired());
    ASSERT_TRUE(RunSetupProgram(CmdExiting(1603)));
    EXPECT_FALSE(IsRebootRequired());
    ASSERT_TRUE(RunSetupProgram(CmdExiting(3010)));
    EXPECT_TRUE(IsRebootRequired());
}

} // namespace
