// The self-validation dialog shown before the main dialog: a moving progress bar under
// "Preparing..." while a task fetches the version document, takes the start decision and
// acts on it (asks to launch an installed product, reports an error, or downloads a newer
// installer). The task ends the dialog by posting WM_CLOSE.
#pragma once

#include "controls/PelDialog.h"
#include "engine/ClientValidation.h"
#include "res/resource.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <string>

class CInstallConfig;

class CClientValidator : public CPelDialog
{
public:
    // Starts a program as the desktop user, saying whether it started; replaceable so tests
    // start nothing.
    using LaunchFunction = bool (*)(const std::wstring& path);

    // Makes the process-wide root internet handle ready; the destructor closes it.
    CClientValidator();
    ~CClientValidator() override;
    CClientValidator(const CClientValidator&) = delete;
    CClientValidator& operator=(const CClientValidator&) = delete;

    // Shows the dialog modally and returns its result once the validation task has ended,
    // so every result field is final. The progress bar class is registered first.
    ValidationResult Run();

    // Silent runs keep the dialog hidden; message boxes still appear.
    void SetSilent(bool silent) { m_bSilent = silent; }
    // Window text; "Preparing..." (IDS_PREPARING) when left empty.
    void SetTitle(const std::wstring& title) { m_strTitle = title; }
    const std::wstring& GetTitle() const { return m_strTitle; }
    // The install model the task works on; the process-wide one unless set.
    void SetInstallConfig(CInstallConfig* config) { m_pConfig = config; }
    void SetLaunchFunction(LaunchFunction launch) { m_launch = launch; }
    // Wait before the check starts, so the dialog is seen moving first (200 ms).
    void SetStartDelay(DWORD milliseconds) { m_startDelayMs = milliseconds; }

    ValidationResult GetResult() const { return m_result; }
    void SetResult(ValidationResult result) { m_result = result; }
    const std::wstring& GetNewInstallerPath() const { return m_strNewInstallerPath; }
    void SetNewInstallerPath(const std::wstring& path) { m_strNewInstallerPath = path; }
    void ClearNewInstallerPath() { m_strNewInstallerPath.clear(); }
    uint32_t GetDownloadResult() const { return m_downloadResult; }
    // What vouches for the downloaded installer (its hash, its declared length).
    const SuccessorDownload& GetSuccessorDownload() const { return m_successor; }
    void SetSuccessorDownload(const SuccessorDownload& download) { m_successor = download; }
    // The start decision the last run acted on; -1 before any run.
    int GetDecision() const { return m_nDecision; }

    // For tests: the progress bar, and whether the task has finished.
    HWND ProgressBar() const { return GetDlgItem(IDC_VALIDATOR_PROGRESS); }
    bool IsTaskDone() const { return m_bTaskDone; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnClientAreaSized(const RECT& client) override;
    // Enter and Escape must not end the dialog under the running task.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ValidateClient();
    void ActOnDecision(int decision);
    void OfferToLaunchInstalledProduct();
    int ShowMessage(const std::wstring& text, UINT type);
    CInstallConfig& Config() const;

    std::wstring m_strTitle;
    std::future<void> m_task;
    std::wstring m_strNewInstallerPath;
    uint32_t m_downloadResult = 0;
    SuccessorDownload m_successor;
    ValidationResult m_result = ContinueInstall;
    int m_nDecision = -1;
    bool m_bSilent = false;
    DWORD m_startDelayMs = 200;
    CInstallConfig* m_pConfig = nullptr;
    LaunchFunction m_launch = nullptr;
    std::atomic<bool> m_bTaskDone{false};
};

// The process exit code a finished self-check stands for, when it ends the run: 0 for an
// installed product (nothing to do) and for a downloaded successor, 1603 when the manifest
// or the server could not be used or another product is in the way. False for
// ContinueInstall, whose outcome the main dialog reports.
bool ValidationRunOutcome(ValidationResult result, int decision, DWORD* code);
