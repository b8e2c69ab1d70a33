// The status and success panels' window-free rules: percentage text and bar position, the
// product program's path, and the running-programs warning.
#include "panels/PanelText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

TEST(PanelPercent, OneDecimalAndPercentSign)
{
    EXPECT_EQ(PercentText(42.46f), L"42.5%");
    EXPECT_EQ(PercentText(0.0f), L"0.0%");
    EXPECT_EQ(PercentText(100.0f), L"100.0%");
    EXPECT_EQ(PercentText(7.04f), L"7.0%");
    EXPECT_EQ(PercentText(std::numeric_limits<float>::quiet_NaN()), L"0.0%");
}

TEST(PanelPercent, BarIsTenthsTruncated)
{
    EXPECT_EQ(ProgressBarPosition(42.46f), 424);
    EXPECT_EQ(ProgressBarPosition(42.49f), 424);
    EXPECT_EQ(ProgressBarPosition(0.09f), 0);
    EXPECT_EQ(ProgressBarPosition(50.0f), 500);
    EXPECT_EQ(ProgressBarPosition(100.0f), kProgressBarMaximum);
}

TEST(PanelPercent, BarStaysOnTheTrack)
{
    EXPECT_EQ(ProgressBarPosition(-3.0f), 0);
    EXPECT_EQ(ProgressBarPosition(250.0f), kProgressBarMaximum);
    EXPECT_EQ(ProgressBarPosition(std::numeric_limits<float>::infinity()), kProgressBarMaximum);
    EXPECT_EQ(ProgressBarPosition(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(ProgressBarPosition(1e30f), kProgressBarMaximum);
}

TEST(PanelProductPath, ExactlyOneBackslashBeforeTheProgram)
{
    const std::wstring exe = L"VARO Pro Video Editor 7.exe";
    const std::wstring want = L"C:\\Program Files\\Pel Systems\\VARO Pro Video Editor 7.exe";
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems", exe), want);
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems\\", exe), want);
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems\\\\", exe), want);
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems\\", L"\\" + exe), want);
    EXPECT_EQ(ProductProgramPath(L"D:\\", L"bin\\varo.exe"), L"D:\\bin\\varo.exe");
}

TEST(PanelProductPath, UncFolderKeepsItsLeadingBackslashes)
{
    EXPECT_EQ(ProductProgramPath(L"\\\\server\\share\\", L"varo.exe"),
              L"\\\\server\\share\\varo.exe");
}

TEST(PanelProductPath, NothingToStartWithoutFolderOrProgram)
{
    // Without a program name the path would be the folder itself, which exists.
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems\\", L""), L"");
    EXPECT_EQ(ProductProgramPath(L"C:\\Program Files\\Pel Systems\\", L"\\"), L"");
    EXPECT_EQ(ProductProgramPath(L"", L"varo.exe"), L"");
    EXPECT_EQ(ProductProgramPath(L"\\\\", L"varo.exe"), L"");
}

TEST(PanelRunningPrograms, EditorThenRecorderWithTheirSemaphores)
{
    const std::vector<ProductProgram>& programs = ProductPrograms();
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(std::wstring(programs[0].semaphore), L"QuilloVaroInstance_70");
    EXPECT_EQ(std::wstring(programs[0].shownName), L"VARO Pro Video Editor 7.exe");
    EXPECT_EQ(std::wstring(programs[1].semaphore), L"QuilloVaroVRInstance_70");
    EXPECT_EQ(std::wstring(programs[1].shownName), L"VARO Pro Video Recorder 7.exe");
}

TEST(PanelRunningPrograms, EachNameOnItsOwnLineAfterAnEmptyLine)
{
    EXPECT_EQ(RunningProgramsMessage(L"Close these:", {L"A.exe"}), L"Close these:\n\nA.exe\r\n");
    EXPECT_EQ(RunningProgramsMessage(L"Close these:", {L"A.exe", L"B.exe"}),
              L"Close these:\n\nA.exe\r\nB.exe\r\n");
}

TEST(PanelRunningPrograms, IntroIsTextNotAFormat)
{
    // A translation with conversions of its own keeps them as written.
    EXPECT_EQ(RunningProgramsMessage(L"%s %d 100%", {L"A.exe"}), L"%s %d 100%\n\nA.exe\r\n");
}

TEST(PanelLinks, OnlyPlainWebAddressesReachTheShell)
{
    for (const wchar_t* good : {L"https://www.pel-systems.com/varo-pro/7/welcome", L"http://127.0.0.1:9/w?a=1&b=2",
                                L"HTTPS://EXAMPLE.COM", L"Http://x"})
        EXPECT_TRUE(IsWebAddress(good)) << std::string(good, good + std::wcslen(good));
    for (const wchar_t* bad : {L"", L"https://", L"http:/x", L"file:///C:/Windows/System32/cmd.exe",
                               L"C:\\Windows\\System32\\cmd.exe", L"cmd", L"javascript:alert(1)",
                               L"ms-settings:", L"https://x\" --inprivate", L"https://x y", L"https://x\ty",
                               L" https://x", L"ftp://x"})
        EXPECT_FALSE(IsWebAddress(bad)) << std::string(bad, bad + std::wcslen(bad));
}
