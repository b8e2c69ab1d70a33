// The status panel from its real template, hosted by a window that plays the main dialog:
// the running-program check with real semaphores and message boxes, the status poll driven
// through the process's install status, the end of the run for each final state, the close
// request against the real worker's events, a real worker run that fails, layout and texts.
#include "config/InstallConfig.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/InstallStatus.h"
#include "engine/RunOutcome.h"
#include "framework/RunLog.h"
#include "panels/PanelText.h"
#include "panels/StatusPanel.h"
#include "res/resource.h"

#include "HostTestSupport.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

using namespace testing_support;
using testing_support::PumpMessages;
using testing_support::PumpUntil;
using testing_support::TempFolder;

namespace {

const wchar_t kFullName[] = L"VARO Pro 7 Panel Test";
const wchar_t kShortName[] = L"VARO Panel Test";
const wchar_t kEditor[] = L"VARO Pro Video Editor 7.exe";
const wchar_t kRecorder[] = L"VARO Pro Video Recorder 7.exe";

std::wstring UIText(const UIStringKey& key)
{
    return TheInstallConfig().m_uiStrings.GetUIString(key);
}

// Puts the process's install status into a state, whatever it held before (a Cancelling
// record only lets Cancelled through).
void SetState(uint32_t state, int32_t index = -1, int32_t percent = 0)
{
    InstallStatus& status = InstallStatus::Instance();
    status.SetStatus(Cancelled, -1, 0);
    status.SetStatus(state, index, percent);
}

// A named semaphore as a running product program holds it.
class CRunningProgram
{
public:
    explicit CRunningProgram(const wchar_t* semaphore)
        : m_handle(::CreateSemaphoreW(nullptr, 1, 1, semaphore))
    {
    }
    bool Held() const { return static_cast<bool>(m_handle); }
    void Close() { m_handle.Reset(); }

private:
    CHandle m_handle;
};

class StatusPanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitThemePalette();
        if (!TextFont())
            CreateSharedFonts();
        ResetRunOutcomeForTesting();
        SetState(NotStarted, 0, 0);
        CInstallConfig& config = TheInstallConfig();
        m_savedManifest = config.m_manifest;
        m_savedInstallFolder = config.m_strInstallFolder;
        m_savedComponentFolder = config.m_strComponentFolder;
        m_savedLanguage = config.m_uiStrings.m_nLanguageId;
        ManifestInfo& manifest = config.m_manifest;
        manifest.fullName = kFullName;
        manifest.shortName = kShortName;
        manifest.executable = kEditor;
        manifest.standalone = 0;
        // A closed port: the worker's version re-check fails at once.
        manifest.versionCheckUrl = L"http://127.0.0.1:1/version.xml";
        manifest.dependencies.clear();
        manifest.transforms.clear();
        manifest.languagePacks.clear();
        config.m_strInstallFolder = m_work.Path() + L"\\";
        config.m_strComponentFolder = m_work.Path() + L"\\";
        config.m_uiStrings.m_nLanguageId = 1033;
        ASSERT_TRUE(m_host.Create());
        ASSERT_TRUE(m_host.AddPanel(m_panel));
    }

    void TearDown() override
    {
        if (m_host.m_hWnd)
            m_host.DestroyWindow();
        m_panel.GetWorker().WaitUntilDone(30000);
        CInstallConfig& config = TheInstallConfig();
        config.m_manifest = m_savedManifest;
        config.m_strInstallFolder = m_savedInstallFolder;
        config.m_strComponentFolder = m_savedComponentFolder;
        config.m_uiStrings.m_nLanguageId = m_savedLanguage;
        SetState(NotStarted, 0, 0);
    }

    void ExpectLaunchFailureReported(bool quiet);

    // One poll as the 1-second timer runs it.
    void Poll() { ::SendMessageW(m_panel, WM_TIMER, CStatusPanel::TIMER_POLL_STATUS, 0); }

    bool RunEventSet()
    {
        return ::WaitForSingleObject(m_panel.GetWorker().RunEvent(), 0) == WAIT_OBJECT_0;
    }

    CShellRecorder m_shell;
    TempFolder m_work;
    CStatusPanel m_panel; // destroyed after the host, whose window takes the panel's with it
    CPanelTestHost m_host;
    ManifestInfo m_savedManifest;
    std::wstring m_savedInstallFolder;
    std::wstring m_savedComponentFolder;
    int m_savedLanguage = 1033;
};

// ---- running programs --------------------------------------------------------------------

TEST_F(StatusPanelTest, RunningEditorIsNamedAndCancelGivesUp)
{
    CRunningProgram editor(L"QuilloVaroInstance_70");
    ASSERT_TRUE(editor.Held());
    CBoxWatcher watcher(kFullName, {IDCANCEL});
    EXPECT_FALSE(m_panel.CheckRunningApplications(kFullName, m_panel));
    watcher.Stop();
    ASSERT_EQ(watcher.Count(), 1);
    const SeenBox box = watcher.Box(0);
    EXPECT_EQ(box.text, UIText(IDS_CLOSE_RUNNING_APPS) + L"\n\n" + kEditor + L"\r\n");
    EXPECT_EQ(box.buttons, static_cast<UINT>(MB_RETRYCANCEL));
    // The box belongs to the main window, the panel's top-level ancestor.
    EXPECT_EQ(box.owner, m_host.m_hWnd);
}

TEST_F(StatusPanelTest, BothProgramsListedEditorFirstEachOnItsOwnLine)
{
    CRunningProgram recorder(L"QuilloVaroVRInstance_70");
    CRunningProgram editor(L"QuilloVaroInstance_70");
    ASSERT_TRUE(editor.Held() && recorder.Held());
    CBoxWatcher watcher(kFullName, {IDCANCEL});
    EXPECT_FALSE(m_panel.CheckRunningApplications(kFullName, m_panel));
    watcher.Stop();
    ASSERT_EQ(watcher.Count(), 1);
    EXPECT_EQ(watcher.Box(0).text, UIText(IDS_CLOSE_RUNNING_APPS) + L"\n\n" + kEditor +
                                       L"\r\n" + kRecorder + L"\r\n");
}

TEST_F(StatusPanelTest, RetryAfterTheProgramEndedProceeds)
{
    CRunningProgram recorder(L"QuilloVaroVRInstance_70");
    ASSERT_TRUE(recorder.Held());
    // The user closes the recorder while the warning is up, then presses Retry.
    CBoxWatcher watcher(kFullName, {IDRETRY}, [&](int) { recorder.Close(); });
    EXPECT_TRUE(m_panel.CheckRunningApplications(kFullName, m_panel));
    watcher.Stop();
    ASSERT_EQ(watcher.Count(), 1);
    EXPECT_EQ(watcher.Box(0).text, UIText(IDS_CLOSE_RUNNING_APPS) + L"\n\n" + kRecorder + L"\r\n");
}

TEST_F(StatusPanelTest, RetryWhileStillRunningAsksAgain)
{
    CRunningProgram editor(L"QuilloVaroInstance_70");
    ASSERT_TRUE(editor.Held());
    CBoxWatcher watcher(kFullName, {IDRETRY, IDCANCEL});
    EXPECT_FALSE(m_panel.CheckRunningApplications(kFullName, m_panel));
    watcher.Stop();
    EXPECT_EQ(watcher.Count(), 2);
}

TEST_F(StatusPanelTest, NothingRunningAsksNothing)
{
    CBoxWatcher watcher(kFullName, {IDCANCEL});
    EXPECT_TRUE(m_panel.CheckRunningApplications(kFullName, m_panel));
    PumpMessages(200);
    watcher.Stop();
    EXPECT_EQ(watcher.Count(), 0);
}

TEST_F(StatusPanelTest, CancelAtTheStartEndsTheRunWithoutInstalling)
{
    CRunningProgram editor(L"QuilloVaroInstance_70");
    ASSERT_TRUE(editor.Held());
    CBoxWatcher watcher(kFullName, {IDCANCEL});
    m_panel.OnShowPanel();
    // The start timer fires after three seconds.
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 10000));
    watcher.Stop();
    EXPECT_EQ(watcher.Count(), 1);
    EXPECT_FALSE(m_panel.IsWorkerStarted());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeCancelled));
}

// ---- the real worker ---------------------------------------------------------------------

TEST_F(StatusPanelTest, RetryProceedsToTheWorkerWhoseFailureEndsTheRun)
{
    CRunningProgram editor(L"QuilloVaroInstance_70");
    ASSERT_TRUE(editor.Held());
    CBoxWatcher warning(kFullName, {IDRETRY}, [&](int) { editor.Close(); });
    // The worker cannot reach the server: its own message, without owner, then Failed.
    CBoxWatcher serverBox(kShortName, {IDOK});
    ::SendMessageW(m_panel, WM_TIMER, CStatusPanel::TIMER_START_WORK, 0);
    EXPECT_TRUE(m_panel.IsWorkerStarted());
    EXPECT_TRUE(PumpUntil([&] { return m_host.destroyed.load(); }, 30000));
    warning.Stop();
    serverBox.Stop();
    EXPECT_EQ(warning.Count(), 1);
    ASSERT_EQ(serverBox.Count(), 1);
    EXPECT_EQ(serverBox.Box(0).text, UIText(IDS_ERR_CONNECT_DOWNLOAD_SERVER));
    EXPECT_EQ(serverBox.Box(0).owner, nullptr);
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Failed));
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeFailed));
    EXPECT_TRUE(m_host.switches.empty());
}

// ---- polling -----------------------------------------------------------------------------

TEST_F(StatusPanelTest, PollShowsPercentOneDecimalAndBarInTenths)
{
    // Download weights 71, 16, 13: item 1 at 87 % is 71 + 13.92, halved = 42.46 overall.
    InstallStatus::Instance().SetWeights({71, 16, 13}, {50, 50});
    SetState(Downloading, 1, 87);
    const StatusSnapshot check =
        InstallStatus::Instance().TakeStatusSnapshot(TheInstallConfig().m_uiStrings);
    ASSERT_NEAR(check.percent, 42.46f, 0.001f);
    Poll();
    EXPECT_EQ(m_panel.GetPercentText().GetText(), L"42.5%");
    EXPECT_EQ(m_panel.GetProgressBar().GetPos(), 424);
    EXPECT_EQ(m_panel.GetProgressBar().GetMaximum(), 1000);
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_DOWNLOADING));
    EXPECT_NE(m_panel.GetRemainingText().GetText(), UIText(IDS_CALC_TIME_REMAINING));
    EXPECT_FALSE(m_host.destroyed);
    EXPECT_FALSE(IsRunOutcomeReported());
    // A working state keeps the poll going: the timer fires again within a second or so.
    SetState(Installing, 0, 100);
    EXPECT_TRUE(PumpUntil(
        [&] { return m_panel.GetStateText().GetText() == UIText(IDS_STATUS_INSTALLING); }, 3000));
}

TEST_F(StatusPanelTest, FinishedInANormalRunGoesToTheSuccessPanel)
{
    SetState(Finished);
    Poll();
    EXPECT_EQ(m_host.switches, std::vector<int>{PANEL_SUCCESS});
    EXPECT_FALSE(m_host.destroyed);
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_EQ(m_panel.GetProgressBar().GetPos(), 1000);
    EXPECT_EQ(m_panel.GetPercentText().GetText(), L"100.0%");
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_FINISHED));
    EXPECT_TRUE(IsRunOutcomeReported());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
    // Not polled again once the run is decided.
    PumpMessages(1300);
    EXPECT_EQ(m_host.switches.size(), 1u);
}

TEST_F(StatusPanelTest, FinishedWithRestartRequestReports3010)
{
    NoteRebootRequired();
    SetState(Finished);
    Poll();
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeRebootRequired));
}

TEST_F(StatusPanelTest, FinishedWithoutSuccessPanelEndsTheRun)
{
    m_host.lastPanel = PANEL_STATUS;
    SetState(Finished);
    Poll();
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
}

TEST_F(StatusPanelTest, FinishedWithLaunchStartsTheProductAndEnds)
{
    m_host.flags.m_bLaunchAfterInstall = 1;
    // The install folder ends with a backslash; the product path has exactly one.
    TheInstallConfig().m_strInstallFolder = m_work.Path() + L"\\\\";
    const std::wstring program = m_work.Path() + L"\\" + kEditor;
    ASSERT_TRUE(testing_support::WriteFileBytes(program, "MZ"));
    SetState(Finished);
    Poll();
    EXPECT_EQ(m_shell.Launches(), std::vector<std::wstring>{program});
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_TRUE(m_host.switches.empty());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
}

// A product that cannot be started is reported, in a box or (quiet) in the log only; the run
// still ends as the success it was.
void StatusPanelTest::ExpectLaunchFailureReported(bool quiet)
{
    m_host.flags.m_bLaunchAfterInstall = 1;
    TempFolder logs;
    ASSERT_FALSE(OpenRunLog(logs.File(L"run.log"), L"unused").empty());
    SetQuietRun(quiet);
    CBoxWatcher watcher(kShortName, {IDOK});
    SetState(Finished);
    Poll();
    watcher.Stop();
    SetQuietRun(false);
    CloseRunLog();
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
    ASSERT_EQ(watcher.Count(), quiet ? 0 : 1);
    if (!quiet) {
        EXPECT_EQ(watcher.Box(0).text, std::wstring(kFullName) + L" could not be started.");
    }
    const std::string log = ReadFileBytes(logs.File(L"run.log"));
    EXPECT_NE(log.find("The product could not be started (no such program)"), std::string::npos) << log;
    EXPECT_NE(log.find("VARO Pro 7 Panel Test could not be started."), std::string::npos) << log;
}

TEST_F(StatusPanelTest, FinishedWithLaunchButNoProductSaysSoAndStillEnds)
{
    ExpectLaunchFailureReported(false);
}

TEST_F(StatusPanelTest, FinishedQuietWithLaunchOfAFolderLogsItAndStillEnds)
{
    TheInstallConfig().m_manifest.executable = L"subfolder";
    ASSERT_TRUE(::CreateDirectoryW((m_work.Path() + L"\\subfolder").c_str(), nullptr));
    ExpectLaunchFailureReported(true);
}

TEST_F(StatusPanelTest, FinishedSilentEnds)
{
    m_host.flags.m_bSilent = 1;
    SetState(Finished);
    Poll();
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_TRUE(m_host.switches.empty());
    EXPECT_TRUE(m_shell.Launches().empty());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
}

TEST_F(StatusPanelTest, FailedEndsWith1603)
{
    SetState(Failed);
    Poll();
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_TRUE(m_host.switches.empty());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeFailed));
}

TEST_F(StatusPanelTest, CancelledEndsWith1602)
{
    SetState(Cancelled);
    Poll();
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeCancelled));
}

// ---- close requests ----------------------------------------------------------------------

TEST_F(StatusPanelTest, CloseWhileWorkingPausesAndNoResumes)
{
    SetState(Downloading, 0, 10);
    ASSERT_TRUE(RunEventSet());
    bool pausedDuringQuestion = false;
    CBoxWatcher watcher(kShortName, {IDNO}, [&](int) { pausedDuringQuestion = !RunEventSet(); });
    EXPECT_FALSE(m_panel.CanClose());
    watcher.Stop();
    ASSERT_EQ(watcher.Count(), 1);
    EXPECT_EQ(watcher.Box(0).text, UIText(IDS_MESSAGE_CANCELNOTICE));
    EXPECT_EQ(watcher.Box(0).buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(pausedDuringQuestion);
    EXPECT_TRUE(RunEventSet());
    EXPECT_FALSE(m_panel.IsCancelRequested());
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Downloading));
}

TEST_F(StatusPanelTest, CloseConfirmedCancelsAndLaterRequestsDoNothing)
{
    SetState(Downloading, 0, 10);
    CBoxWatcher watcher(kShortName, {IDYES});
    EXPECT_FALSE(m_panel.CanClose());
    EXPECT_TRUE(m_panel.IsCancelRequested());
    EXPECT_EQ(InstallStatus::Instance().GetState(), static_cast<uint32_t>(Cancelling));
    // The cancellation wakes a paused transfer so that it sees the cancel event.
    EXPECT_TRUE(RunEventSet());
    EXPECT_EQ(::WaitForSingleObject(m_panel.GetWorker().CancelEvent(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_CANCELLING));
    // Further requests are ignored without a question while the worker winds down.
    EXPECT_FALSE(m_panel.CanClose());
    PumpMessages(300);
    watcher.Stop();
    EXPECT_EQ(watcher.Count(), 1);
    Poll();
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_CANCELLING));
    EXPECT_FALSE(m_host.destroyed);
    // The worker's end: the poll closes the installer.
    InstallStatus::Instance().SetStatus(Cancelled, -1, 0);
    Poll();
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeCancelled));
}

TEST_F(StatusPanelTest, CloseAfterTheWorkerFailedClosesWithoutAsking)
{
    SetState(Failed);
    CBoxWatcher watcher(kShortName, {IDNO});
    EXPECT_TRUE(m_panel.CanClose());
    PumpMessages(200);
    watcher.Stop();
    EXPECT_EQ(watcher.Count(), 0);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeFailed));
}

TEST_F(StatusPanelTest, WorkerEndingDuringTheQuestionWaitsForTheAnswer)
{
    SetState(Installing, 0, 50);
    int switchesWhileAsking = -1;
    bool destroyedWhileAsking = true;
    CBoxWatcher watcher(kShortName, {IDYES}, [&](int) {
        // The worker finishes and a poll runs while the question is still up.
        InstallStatus::Instance().SetStatus(Finished, -1, 0);
        ::PostMessageW(m_panel, WM_TIMER, CStatusPanel::TIMER_POLL_STATUS, 0);
        ::Sleep(400);
        switchesWhileAsking = m_host.switchCount.load();
        destroyedWhileAsking = m_host.destroyed.load();
    });
    // Yes after the worker finished: nothing to cancel, the window may close.
    EXPECT_TRUE(m_panel.CanClose());
    watcher.Stop();
    EXPECT_EQ(switchesWhileAsking, 0);
    EXPECT_FALSE(destroyedWhileAsking);
    EXPECT_FALSE(m_panel.IsCancelRequested());
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeSuccess));
}

TEST_F(StatusPanelTest, CancelledBeforeTheStartEndsWithoutStartingTheWorker)
{
    // The start timer fires while the close question is open: the answer comes first.
    bool startedWhileAsking = true;
    CBoxWatcher watcher(kShortName, {IDYES}, [&](int) {
        ::PostMessageW(m_panel, WM_TIMER, CStatusPanel::TIMER_START_WORK, 0);
        ::Sleep(300);
        startedWhileAsking = m_panel.IsWorkerStarted();
    });
    EXPECT_FALSE(m_panel.CanClose());
    watcher.Stop();
    EXPECT_FALSE(startedWhileAsking);
    ASSERT_TRUE(m_panel.IsCancelRequested());
    ::SendMessageW(m_panel, WM_TIMER, CStatusPanel::TIMER_START_WORK, 0);
    EXPECT_FALSE(m_panel.IsWorkerStarted());
    EXPECT_TRUE(m_host.destroyed);
    EXPECT_EQ(GetRunOutcome(), static_cast<DWORD>(RunOutcomeCancelled));
}

// ---- controls, texts, layout, link -------------------------------------------------------

TEST_F(StatusPanelTest, ControlsAreSetUpFromTheTheme)
{
    const ThemePalette& palette = Palette();
    CPelStatic* labels[] = {&m_panel.GetStateText(), &m_panel.GetRemainingText(),
                            &m_panel.GetPercentText()};
    for (CPelStatic* label : labels) {
        ASSERT_NE(label->m_hWnd, nullptr);
        EXPECT_EQ(label->GetTextFont(), TextFont());
        EXPECT_EQ(label->GetTextColor(), palette.CaptionText);
        EXPECT_EQ(label->GetBackgroundColor(), palette.WindowBackground);
    }
    EXPECT_EQ(m_panel.GetStateText().GetTextFormat(), static_cast<UINT>(DT_WORDBREAK));
    EXPECT_EQ(m_panel.GetPercentText().GetTextFormat(), static_cast<UINT>(DT_WORDBREAK | DT_RIGHT));
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_INIT));
    EXPECT_EQ(m_panel.GetRemainingText().GetText(), UIText(IDS_CALC_TIME_REMAINING));
    EXPECT_TRUE(m_panel.GetPercentText().GetText().empty());

    CPelProgress& bar = m_panel.GetProgressBar();
    EXPECT_EQ(::GetDlgCtrlID(bar), IDC_PROGRESS_BAR);
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(bar.GetMaximum(), 1000);
    EXPECT_EQ(bar.GetBackgroundColor(), palette.WindowBackground);
    EXPECT_EQ(bar.GetTrackColor(), palette.ProgressTrack);
    EXPECT_EQ(bar.GetFillColor(), palette.ProgressFill);
    CPelSliderShowCtrl& slides = m_panel.GetSlideShow();
    EXPECT_EQ(::GetDlgCtrlID(slides), IDC_SLIDE_SHOW);
    EXPECT_TRUE(slides.IsWindowVisible());
    EXPECT_EQ(slides.GetBackgroundColor(), palette.WindowBackground);
    // Neither takes a key, so Tab passes both by.
    EXPECT_EQ(slides.GetStyle() & WS_TABSTOP, 0u);
    EXPECT_EQ(bar.GetStyle() & WS_TABSTOP, 0u);
}

TEST_F(StatusPanelTest, LayoutFollowsTheClientRectangle)
{
    RECT client{};
    m_panel.GetClientRect(&client);
    const RECT slides = ChildRect(m_panel.GetSlideShow());
    EXPECT_EQ(slides.left, 0);
    EXPECT_EQ(slides.top, DpiScaleX(36));
    EXPECT_EQ(slides.right, client.right);
    EXPECT_EQ(slides.bottom - slides.top, DpiScaleY(284));

    const RECT state = ChildRect(m_panel.GetStateText());
    EXPECT_EQ(state.left, DpiScaleY(30));
    EXPECT_EQ(state.right, client.right - DpiScaleX(100) - DpiScaleY(30));
    EXPECT_EQ(state.top, slides.bottom + DpiScaleY(15));
    EXPECT_EQ(state.bottom - state.top, DpiScaleY(20));

    const RECT remaining = ChildRect(m_panel.GetRemainingText());
    EXPECT_EQ(remaining.left, state.left);
    EXPECT_EQ(remaining.right, state.right);
    EXPECT_EQ(remaining.top, state.bottom);
    EXPECT_EQ(remaining.bottom - remaining.top, DpiScaleY(20));

    const RECT percent = ChildRect(m_panel.GetPercentText());
    EXPECT_EQ(percent.left, remaining.right);
    EXPECT_EQ(percent.right, client.right - DpiScaleY(30));
    EXPECT_EQ(percent.top, remaining.top);
    EXPECT_EQ(percent.bottom, remaining.bottom);

    const RECT bar = ChildRect(m_panel.GetProgressBar());
    EXPECT_EQ(bar.left, state.left);
    EXPECT_EQ(bar.right, client.right - DpiScaleY(30));
    EXPECT_EQ(bar.top, remaining.bottom + DpiScaleY(10));
    EXPECT_EQ(bar.bottom - bar.top, DpiScaleY(8));
    const RECT track = m_panel.GetProgressBar().GetTrackRect();
    EXPECT_EQ(track.left, 0);
    EXPECT_EQ(track.top, 0);
    EXPECT_EQ(track.right, bar.right - bar.left);
    EXPECT_EQ(track.bottom, bar.bottom - bar.top);

    // A wider main window relayouts the panel.
    ::MoveWindow(m_panel, 0, 0, client.right + 100, client.bottom, TRUE);
    EXPECT_EQ(ChildRect(m_panel.GetProgressBar()).right, client.right + 100 - DpiScaleY(30));
}

TEST_F(StatusPanelTest, ShowingThePanelResetsTextsAndStartsTheWorkLater)
{
    m_panel.GetStateText().SetText(L"stale");
    CRunningProgram editor(L"QuilloVaroInstance_70");
    CBoxWatcher watcher(kFullName, {IDCANCEL});
    const DWORD shown = ::GetTickCount();
    m_panel.OnShowPanel();
    EXPECT_EQ(m_panel.GetStateText().GetText(), UIText(IDS_STATUS_INIT));
    EXPECT_TRUE(PumpUntil([&] { return watcher.Count() > 0; }, 10000));
    const DWORD waited = ::GetTickCount() - shown;
    watcher.Stop();
    EXPECT_GE(waited, 2900u);
}

TEST_F(StatusPanelTest, ClickOnTheSlideShowOpensTheSlideShowLink)
{
    HWND slides = m_panel.GetSlideShow();
    ::SendMessageW(slides, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(slides, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(m_shell.Urls(),
              std::vector<std::wstring>{TheInstallConfig().m_uiStrings.GetLink(IDS_RLINK_SLIDE_SHOW)});
}

TEST_F(StatusPanelTest, SlidesThatLoadAreShownInListOrder)
{
    // The picture list is searched once per process; this needs the first search.
    CUIStrings& strings = TheInstallConfig().m_uiStrings;
    const std::wstring languageFolder = m_work.Path() + L"\\language\\";
    const std::wstring savedFolder = strings.GetLanguageFolder();
    strings.SetLanguageFolder(languageFolder);
    const std::vector<std::wstring> listed = strings.GetSlidePictures(SnappedDpi());
    if (!listed.empty()) {
        strings.SetLanguageFolder(savedFolder);
        GTEST_SKIP() << "the slide list of this process was filled by an earlier test";
    }
    int scale = SnappedDpi() >= 192 ? 200 : SnappedDpi() >= 144 ? 150 : SnappedDpi() >= 120 ? 125 : 100;
    const std::wstring folder = languageFolder + L"1033\\slides\\" + std::to_wstring(scale);
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    const std::wstring sample =
        testing_support::WinePath(PEL_SOURCE_DIR) + L"\\sample\\language\\1033\\slides\\100\\";
    ASSERT_TRUE(::CopyFileW((sample + L"slide1.jpg").c_str(), (folder + L"\\a.jpg").c_str(), FALSE));
    ASSERT_TRUE(testing_support::WriteFileBytes(folder + L"\\b.jpg", "not a picture"));
    ASSERT_TRUE(::CopyFileW((sample + L"slide2.jpg").c_str(), (folder + L"\\c.jpg").c_str(), FALSE));
    m_panel.ApplyTexts();
    const std::vector<SlideRecord>& shown = m_panel.GetSlideShow().GetSlides();
    strings.SetLanguageFolder(savedFolder);
    ASSERT_EQ(shown.size(), 2u);
    for (const SlideRecord& slide : shown) {
        EXPECT_NE(slide.bitmap, nullptr);
        BITMAP info{};
        ASSERT_EQ(::GetObjectW(slide.bitmap, sizeof info, &info), static_cast<int>(sizeof info));
        EXPECT_EQ(slide.width, info.bmWidth);
        EXPECT_EQ(slide.height, info.bmHeight);
    }
    // Applying the texts again replaces the list instead of adding to it.
    m_panel.ApplyTexts();
    EXPECT_EQ(m_panel.GetSlideShow().GetSlides().size(), 2u);
}

} // namespace
