// The second wizard panel: starts the install worker three seconds after it is shown, once
// no program of the product runs, then shows the worker's progress from the install status
// (slide show, state text, remaining time, percentage, progress bar), read once a second.
// When the worker ends it decides how the run ends: the success panel, starting the
// product, or closing the installer. A confirmed close request cancels the worker.
#pragma once

#include "controls/Images.h"
#include "controls/PelProgress.h"
#include "controls/PelSliderShowCtrl.h"
#include "controls/PelStatic.h"
#include "engine/InstallWorker.h"
#include "panels/GuidePanel.h"
#include "res/resource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CStatusPanel : public CGuidePanel
{
public:
    static constexpr UINT_PTR TIMER_POLL_STATUS = 1124;
    static constexpr UINT_PTR TIMER_START_WORK = 1125;
    static constexpr UINT kStartWorkDelayMs = 3000;
    static constexpr UINT kPollStatusPeriodMs = 1000;

    CStatusPanel();
    ~CStatusPanel() override;

    void LayoutControls(const RECT& client) override;
    // Sets the texts, then starts the 3-second timer that starts the work.
    void OnShowPanel() override;
    void ApplyTexts() override;
    void ApplyPalette() override;
    // The user's close request: pauses the transfers and asks; Yes cancels the worker.
    bool CanClose() override;

    // Warns (Retry/Cancel, owned by owner) while a program of the product runs; true once
    // none runs, false when the user chose Cancel.
    bool CheckRunningApplications(const std::wstring& caption, HWND owner);
    // Shows the current install status and acts on a final state; true while the worker is
    // still working (the poll timer is then started again).
    bool PollStatus();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // For the main dialog and tests.
    CInstallWorker& GetWorker() { return m_worker; }
    bool IsCancelRequested() const { return m_bCancelRequested != 0; }
    bool IsWorkerStarted() const { return m_bWorkerStarted; }
    CPelStatic& GetStateText() { return m_stateText; }
    CPelStatic& GetRemainingText() { return m_remainingText; }
    CPelStatic& GetPercentText() { return m_percentText; }
    CPelSliderShowCtrl& GetSlideShow() { return m_slideShow; }
    CPelProgress& GetProgressBar() { return m_progress; }

protected:
    BOOL OnInitDialog() override;

private:
    void InitControls();
    void OnStartWorkTimer();
    void OnPollTimer();
    void ShowSnapshot(float percent, const std::wstring& stateText, const std::wstring& timeText);
    void LoadSlides();
    // Records how the run ends for a final install state.
    static void ReportOutcomeOf(uint32_t state);
    // Ends the run: destroys the main window (the panel's parent).
    void EndRun();

    // Pictures of the slide show, kept alive as long as the control may draw them.
    std::vector<std::unique_ptr<CImageWrapper>> m_slidePictures;
    CPelStatic m_stateText;
    CPelStatic m_remainingText;
    CPelStatic m_percentText;
    CPelSliderShowCtrl m_slideShow;
    CPelProgress m_progress;
    int m_bCancelRequested = 0;
    bool m_bWorkerStarted = false;
    // The close question is on screen: a final state seen meanwhile waits for the answer.
    bool m_bAsking = false;
    // Last member: destroyed first, so its task has ended before the controls go.
    CInstallWorker m_worker;
};
