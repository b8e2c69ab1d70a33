// The install worker: plans the packages to install from the install model and
// the user's choices, then on a task of its own re-checks the server's version
// document, downloads every package, installs them and writes the product's
// registry values. Its only channel to the user interface is the install
// status; the status panel polls that and calls Pause/Resume/Cancel.
#pragma once

#include <windows.h>

#include "engine/DownloadJob.h"
#include "engine/InstallItem.h"
#include "engine/InstallerUiHandler.h"
#include "framework/Handles.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <vector>

class CInstallWorker : public IDownloadOwner
{
public:
    CInstallWorker();
    // Waits for a task that still runs, then closes the events.
    ~CInstallWorker();
    CInstallWorker(const CInstallWorker&) = delete;
    CInstallWorker& operator=(const CInstallWorker&) = delete;

    // Plans the items, readies the internet root and launches the task. A
    // worker runs once: a second call does nothing and returns false. When no
    // thread can be had it returns false with the status Failed.
    bool Start();
    void PauseTransfers();
    void ResumeTransfers();
    // Requests cancellation: a transfer stops at its next check, a package at
    // its next progress message, the stage loops before their next item.
    void Cancel();

    // Owner of the worker's message boxes (the main installer window); null
    // gives boxes without owner. Set before Start.
    void SetMainWindow(HWND window) { m_state.ownerWindow = window; }

    // IDownloadOwner
    HANDLE CancelEvent() const override { return m_cancelEvent.Get(); }
    HANDLE RunEvent() const override { return m_runEvent.Get(); }

    const std::vector<InstallItem>& Items() const { return m_items; }
    int32_t FailureKind() const { return m_state.failureKind; }
    const std::wstring& HomePageUrl() const { return m_state.homePageUrl; }
    // Waits up to timeoutMs for the task to end; true when it has ended (or never started).
    bool WaitUntilDone(DWORD timeoutMs) const;

    // The planning steps, public so that a plan can be checked without running it.
    void BuildInstallItems();
    void AddLanguagePackItem(int langId);

protected:
    // Runs work on a thread of its own; throws (std::system_error) when no thread can be had.
    virtual std::future<void> LaunchTask(std::function<void()> work);

private:
    void RunWorker();
    bool RecheckVersion();
    bool DownloadItems();
    bool InstallItems();
    bool WriteInstallRegistry();

    void AddItem(InstallItem item, uint32_t downloadWeight, uint32_t installWeight);

    std::vector<InstallItem> m_items;
    // The local paths of the download jobs this run started: whatever is at them (the
    // file, its .partial and .resume) is this run's, and goes when the run ends.
    std::vector<std::wstring> m_fetchedPaths;
    std::vector<uint32_t> m_downloadWeights;
    std::vector<uint32_t> m_installWeights;
    InstallerProgressState m_state;
    CHandle m_cancelEvent;
    CHandle m_runEvent;
    std::atomic<bool> m_cancelRequested{false};
    bool m_started = false;
    // Last member: it is destroyed first, so a running task never outlives the events.
    std::future<void> m_task;
};

// The item percent of a download report: received * 100 / total in unsigned
// 64-bit arithmetic, 0 when total is 0, never above 100 (a server that sends
// more than it announced does not push the bar past the item).
int32_t DownloadPercent(uint64_t received, uint64_t total);

// The percent to show for an item after a report, given the percent shown so
// far: a download job reports (2,0,0) first and (2,0,length) last, and those
// must not set the bar of an advanced item back to 0.
int32_t NextDownloadPercent(int32_t shown, uint64_t received, uint64_t total);
