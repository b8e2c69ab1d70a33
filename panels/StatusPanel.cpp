#include "panels/StatusPanel.h"

#include "config/InstallConfig.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "engine/InstallStatus.h"
#include "engine/RunOutcome.h"
#include "panels/PanelShell.h"
#include "panels/PanelText.h"
#include "framework/RunLog.h"

namespace {

bool IsFinalState(uint32_t state)
{
    return state == Finished || state == Failed || state == Cancelled;
}

std::wstring UIText(const UIStringKey& key)
{
    return TheInstallConfig().m_uiStrings.GetUIString(key);
}

void PlaceWindow(HWND window, const RECT& rect)
{
    ::SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void RepaintNow(CWnd& control)
{
    control.Invalidate();
    ::UpdateWindow(control);
}

// What a screen reader calls a slide: its file's name without folder and extension, '_' and
// '-' read as spaces ("whats-new_sync.jpg" reads "whats new sync"). The pictures lie in each
// language's folder, so a vendor names them in that language.
std::wstring SlideTitle(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring title = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    const size_t dot = title.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        title.resize(dot);
    for (wchar_t& c : title) {
        if (c == L'_' || c == L'-')
            c = L' ';
    }
    return title;
}

} // namespace

CStatusPanel::CStatusPanel() : CGuidePanel(IDD_STATUS_PANEL) {}

CStatusPanel::~CStatusPanel() = default;

BOOL CStatusPanel::OnInitDialog()
{
    CGuidePanel::OnInitDialog();
    RemoveFrameStyles();
    InitControls();
    // The worker's messages belong to the main window, which hosts this panel.
    m_worker.SetMainWindow(GetParent());
    return FALSE;
}

void CStatusPanel::InitControls()
{
    struct LabelSetup
    {
        CPelStatic* label;
        int id;
        UINT format;
    };
    const LabelSetup labels[] = {
        {&m_stateText, IDC_STATE_TEXT, DT_WORDBREAK},
        {&m_remainingText, IDC_REMAINING_TEXT, DT_WORDBREAK},
        {&m_percentText, IDC_PERCENT_TEXT, DT_WORDBREAK | DT_RIGHT},
    };
    for (const LabelSetup& setup : labels) {
        setup.label->SubclassDlgItem(setup.id, m_hWnd);
        setup.label->SetTextFont(TextFont());
        setup.label->SetTextFormat(setup.format);
    }
    m_stateText.SetText(UIText(IDS_STATUS_INIT));
    m_remainingText.SetText(UIText(IDS_CALC_TIME_REMAINING));
    m_percentText.SetText(std::wstring());

    // Neither takes a key, so neither is a tab stop.
    const RECT empty = {};
    if (m_slideShow.Create(WS_CHILD, empty, m_hWnd, IDC_SLIDE_SHOW))
        m_slideShow.ShowWindow(SW_SHOW);
    if (m_progress.Create(WS_CHILD, empty, m_hWnd, IDC_PROGRESS_BAR)) {
        m_progress.SetPos(0);
        m_progress.SetMaximum(kProgressBarMaximum);
        // A screen reader names the bar by what is being done ("Downloading...").
        m_progress.SetAccessibleLabels({m_stateText.m_hWnd});
        m_progress.ShowWindow(SW_SHOW);
    }
    ApplyPalette();
    RECT client{};
    GetClientRect(&client);
    LayoutControls(client);
}

void CStatusPanel::ApplyPalette()
{
    const ThemePalette& palette = Palette();
    for (CPelStatic* label : {&m_stateText, &m_remainingText, &m_percentText}) {
        label->SetTextColor(palette.CaptionText);
        label->SetBackgroundColor(palette.WindowBackground);
    }
    m_slideShow.SetBackgroundColor(palette.WindowBackground);
    m_progress.SetBackgroundColor(palette.WindowBackground);
    m_progress.SetTrackColor(palette.ProgressTrack);
    m_progress.SetFillColor(palette.ProgressFill);
    m_progress.SetOutlineColor(palette.ControlOutline);
}

void CStatusPanel::LayoutControls(const RECT& client)
{
    if (!m_slideShow.m_hWnd || !m_progress.m_hWnd)
        return;
    const RECT slides = {client.left, client.top + DpiScaleX(36), client.right,
                         client.top + DpiScaleX(36) + DpiScaleY(284)};
    PlaceWindow(m_slideShow, slides);

    RECT state{};
    state.left = client.left + DpiScaleY(30);
    state.right = client.right - DpiScaleX(100) - DpiScaleY(30);
    state.top = slides.bottom + DpiScaleY(15);
    state.bottom = state.top + DpiScaleY(20);
    RECT remaining = state;
    ::OffsetRect(&remaining, 0, state.bottom - state.top);
    const RECT percent = {remaining.right, remaining.top, client.right - DpiScaleY(30),
                          remaining.bottom};
    if (m_stateText.m_hWnd)
        PlaceWindow(m_stateText, state);
    if (m_remainingText.m_hWnd)
        PlaceWindow(m_remainingText, remaining);
    if (m_percentText.m_hWnd)
        PlaceWindow(m_percentText, percent);

    const RECT bar = {state.left, remaining.bottom + DpiScaleY(10), client.right - DpiScaleY(30),
                      remaining.bottom + DpiScaleY(10) + DpiScaleY(8)};
    PlaceWindow(m_progress, bar);
    m_progress.SetTrackRect(RECT{0, 0, bar.right - bar.left, bar.bottom - bar.top});
    m_progress.Invalidate();
}

void CStatusPanel::OnShowPanel()
{
    ApplyTexts();
    ::SetTimer(m_hWnd, TIMER_START_WORK, kStartWorkDelayMs, nullptr);
}

void CStatusPanel::ApplyTexts()
{
    if (m_stateText.m_hWnd) {
        m_stateText.SetText(UIText(IDS_STATUS_INIT));
        RepaintNow(m_stateText);
    }
    if (m_remainingText.m_hWnd) {
        m_remainingText.SetText(UIText(IDS_CALC_TIME_REMAINING));
        RepaintNow(m_remainingText);
    }
    LoadSlides();
}

void CStatusPanel::LoadSlides()
{
    if (!m_slideShow.m_hWnd)
        return;
    std::vector<std::unique_ptr<CImageWrapper>> pictures;
    std::vector<std::wstring> titles;
    for (const std::wstring& path : TheInstallConfig().m_uiStrings.GetSlidePictures(SnappedDpi())) {
        std::unique_ptr<CImageWrapper> picture = LoadImageFile(path);
        if (picture && picture->HasBitmap()) {
            pictures.push_back(std::move(picture));
            titles.push_back(SlideTitle(path));
        }
    }
    // The control lets go of the old pictures before they are freed.
    m_slideShow.ClearSlides();
    for (size_t i = 0; i < pictures.size(); ++i)
        m_slideShow.AddSlide(pictures[i]->Bitmap(), pictures[i]->Width(), pictures[i]->Height(),
                             titles[i]);
    m_slidePictures = std::move(pictures);
    m_slideShow.Invalidate();
}

bool CStatusPanel::CheckRunningApplications(const std::wstring& caption, HWND owner)
{
    for (;;) {
        std::vector<std::wstring> running;
        for (const ProductProgram& program : ProductPrograms()) {
            CHandle semaphore(::OpenSemaphoreW(SYNCHRONIZE, FALSE, program.semaphore));
            if (semaphore)
                running.push_back(program.shownName);
        }
        if (running.empty())
            return true;
        const std::wstring message =
            RunningProgramsMessage(UIText(IDS_CLOSE_RUNNING_APPS), running);
        // A quiet run cannot wait for the programs to close: it gives up, and the log
        // names them.
        const int answer = RunMessageBox(owner, message, caption, MB_ICONWARNING | MB_RETRYCANCEL, IDCANCEL);
        // Only Retry looks again; Cancel, or a box that could not be shown, gives up.
        if (answer != IDRETRY)
            return false;
    }
}

void CStatusPanel::OnStartWorkTimer()
{
    // Under an open close question the answer comes first: the timer fires again after it.
    if (m_bAsking)
        return;
    ::KillTimer(m_hWnd, TIMER_START_WORK);
    if (m_bWorkerStarted)
        return;
    if (m_bCancelRequested) {
        // Cancelled during the wait: there is no worker run to wait for.
        InstallStatus::Instance().SetStatus(Cancelled, -1, 0);
        ReportRunOutcome(RunOutcomeCancelled);
        EndRun();
        return;
    }
    if (!CheckRunningApplications(TheInstallConfig().m_manifest.fullName, m_hWnd)) {
        // In a quiet run nobody chose Cancel: the run could not do its work, so it failed.
        ReportRunOutcome(IsQuietRun() ? RunOutcomeFailed : RunOutcomeCancelled);
        EndRun();
        return;
    }
    m_bWorkerStarted = true;
    m_worker.Start();
    ::SetTimer(m_hWnd, TIMER_POLL_STATUS, kPollStatusPeriodMs, nullptr);
}

void CStatusPanel::OnPollTimer()
{
    ::KillTimer(m_hWnd, TIMER_POLL_STATUS);
    if (PollStatus() && m_hWnd)
        ::SetTimer(m_hWnd, TIMER_POLL_STATUS, kPollStatusPeriodMs, nullptr);
}

void CStatusPanel::ShowSnapshot(float percent, const std::wstring& stateText,
                                const std::wstring& timeText)
{
    if (m_progress.m_hWnd) {
        m_progress.SetPos(ProgressBarPosition(percent));
        RepaintNow(m_progress);
    }
    if (m_percentText.m_hWnd) {
        m_percentText.SetText(PercentText(percent));
        RepaintNow(m_percentText);
    }
    if (m_stateText.m_hWnd) {
        m_stateText.SetText(stateText);
        RepaintNow(m_stateText);
    }
    if (m_remainingText.m_hWnd) {
        m_remainingText.SetText(timeText);
        RepaintNow(m_remainingText);
    }
}

bool CStatusPanel::PollStatus()
{
    const StatusSnapshot snapshot =
        InstallStatus::Instance().TakeStatusSnapshot(TheInstallConfig().m_uiStrings);
    ShowSnapshot(snapshot.percent, snapshot.stateText, snapshot.timeText);

    if (!IsFinalState(snapshot.state))
        return true;
    // While the close question is on screen the answer decides; ending the run now would
    // destroy the window the question belongs to.
    if (m_bAsking)
        return true;

    ReportOutcomeOf(snapshot.state);
    if (snapshot.state != Finished) {
        EndRun(); // the worker has shown any message already
        return false;
    }
    IPanelHost* host = GetHost();
    const PanelRunFlags flags = host ? host->RunFlags() : PanelRunFlags{};
    if (flags.m_bLaunchAfterInstall) {
        StartProductAfterInstall(m_hWnd);
        EndRun();
        return false;
    }
    // Without a success panel to go to, the run would stand still on a finished bar.
    if (flags.m_bSilent || !GoToNextPanel())
        EndRun();
    return false;
}

void CStatusPanel::ReportOutcomeOf(uint32_t state)
{
    switch (state) {
    case Finished:
        ReportRunOutcome(IsRebootRequired() ? RunOutcomeRebootRequired : RunOutcomeSuccess);
        break;
    case Failed:
        ReportRunOutcome(RunOutcomeFailed);
        break;
    case Cancelled:
        ReportRunOutcome(RunOutcomeCancelled);
        break;
    default:
        break;
    }
}

bool CStatusPanel::CanClose()
{
    if (m_bCancelRequested)
        return false;
    InstallStatus& status = InstallStatus::Instance();
    if (IsFinalState(status.GetState())) {
        ReportOutcomeOf(status.GetState());
        return true;
    }
    m_worker.PauseTransfers();
    const std::wstring text = UIText(IDS_MESSAGE_CANCELNOTICE);
    const std::wstring caption = TheInstallConfig().m_manifest.shortName;
    m_bAsking = true;
    const int answer =
        RunMessageBox(m_hWnd, text, caption, MB_YESNO | MB_ICONEXCLAMATION, IDNO);
    m_bAsking = false;
    if (answer == IDYES) {
        const uint32_t state = status.GetState();
        if (IsFinalState(state)) {
            ReportOutcomeOf(state);
            return true;
        }
        m_bCancelRequested = 1;
        m_worker.Cancel();
        // "Cancelling..." at once rather than at the next poll.
        if (m_stateText.m_hWnd) {
            m_stateText.SetText(UIText(IDS_STATUS_CANCELLING));
            RepaintNow(m_stateText);
        }
        return false;
    }
    m_worker.ResumeTransfers();
    return false;
}

void CStatusPanel::EndRun()
{
    const HWND mainWindow = m_hWnd ? GetParent() : nullptr;
    if (mainWindow)
        ::DestroyWindow(mainWindow);
}

LRESULT CStatusPanel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:
        if (wParam == TIMER_START_WORK) {
            OnStartWorkTimer();
            return 0;
        }
        if (wParam == TIMER_POLL_STATUS) {
            OnPollTimer();
            return 0;
        }
        break;
    case WM_PEL_SLIDESHOW_CLICK:
        OpenWebAddress(TheInstallConfig().m_uiStrings.GetLink(IDS_RLINK_SLIDE_SHOW));
        return 0;
    }
    return CGuidePanel::WindowProc(msg, wParam, lParam);
}
