#include "app/ClientValidator.h"

#include "config/InstallConfig.h"
#include "config/StartDecision.h"
#include "config/UITextFormat.h"
#include "engine/HttpTransfer.h"
#include "engine/LaunchAsDesktopUser.h"
#include "engine/RunOutcome.h"
#include "framework/RunLog.h"
#include "res/resource.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

namespace {

// What the run does after the self-check, for the run log.
std::wstring ResultText(ValidationResult result, const std::wstring& newInstallerPath)
{
    switch (result) {
    case StopInstall: return L"stop the run";
    case RunNewInstaller: return L"run the newer installer " + newInstallerPath;
    default: return L"continue with the main dialog";
    }
}

} // namespace

CClientValidator::CClientValidator() : CPelDialog(IDD_CLIENT_VALIDATOR), m_launch(&LaunchAsDesktopUser)
{
    // The object lives as long as the process, so the shared handle does too.
    EnsureInternetRoot();
}

CClientValidator::~CClientValidator()
{
    // The task writes this object's fields; it must be over before they go.
    if (m_task.valid())
        m_task.wait();
    CloseInternetRoot();
}

ValidationResult CClientValidator::Run()
{
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    m_bTaskDone = false;
    m_nDecision = -1;
    m_downloadResult = 0;
    m_result = ContinueInstall;
    DoModal();
    // The loop can also end without the task's WM_CLOSE (a WM_QUIT); the fields are read
    // only after the task is over either way.
    if (m_task.valid())
        m_task.wait();
    return m_result;
}

CInstallConfig& CClientValidator::Config() const
{
    return m_pConfig ? *m_pConfig : TheInstallConfig();
}

BOOL CClientValidator::OnInitDialog()
{
    CPelDialog::OnInitDialog();
    SetTitleVisible(true);
    SetCaptionButtonDisabled(0, true); // Close
    SetCaptionButtonDisabled(1, true); // Maximize
    SetCaptionButtonDisabled(3, true); // Minimize

    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    OnClientAreaSized(client);

    if (m_strTitle.empty())
        m_strTitle = Config().m_uiStrings.GetUIString(IDS_PREPARING);
    ::SetWindowTextW(m_hWnd, m_strTitle.c_str());
    RepaintFrame();

    ::SendMessageW(ProgressBar(), PBM_SETMARQUEE, TRUE, 10);

    try {
        m_task = std::async(std::launch::async, [this] { ValidateClient(); });
    } catch (const std::exception&) {
        // No thread to be had: the check cannot run, and the dialog would never end. Going
        // on lets the install worker's own check decide instead.
        m_bTaskDone = true;
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }

    if (m_bSilent) {
        KeepHidden();
        ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
        ::ShowWindow(m_hWnd, SW_HIDE);
    }
    return TRUE;
}

void CClientValidator::OnClientAreaSized(const RECT& client)
{
    // Called from the first resize on, which can come before the bar exists.
    HWND bar = ProgressBar();
    if (!bar)
        return;
    RECT rect = {};
    ::GetWindowRect(bar, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = client.left + (client.right - client.left - width) / 2;
    const int y = client.top + (client.bottom - client.top - height) / 2;
    ::SetWindowPos(bar, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CClientValidator::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CLOSE) {
        // Only the task's own WM_CLOSE ends the dialog: its result is not known before, and
        // a message box of the task may still be owned by this window.
        if (m_bTaskDone)
            EndDialog(IDOK);
        return 0;
    }
    return CPelDialog::WindowProc(msg, wParam, lParam);
}

void CClientValidator::ValidateClient()
{
    ::Sleep(m_startDelayMs);
    try {
        // Without a complete manifest there is no server to ask: nothing is sent, and the
        // run stops as it does when the version document cannot be had.
        const bool manifestRead = Config().IsManifestRead();
        if (!manifestRead)
            LogLine(L"Self-check: the manifest was not read; the server is not asked");
        m_nDecision = manifestRead ? CheckClientVersion(Config()) : kDecisionVersionDocumentUnavailable;
        ActOnDecision(m_nDecision);
        LogLine(L"Self-check: decision " + std::to_wstring(m_nDecision) + L" (" +
                StartDecisionMeaning(m_nDecision) + L"): " +
                ResultText(m_result, m_strNewInstallerPath));
    } catch (const std::exception&) {
        // Whatever failed, the dialog must still end; with no answer from the server the
        // run cannot go on.
        m_result = StopInstall;
        LogLine(L"Self-check failed (out of memory or another internal failure): " +
                ResultText(m_result, m_strNewInstallerPath));
    }
    m_bTaskDone = true;
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

void CClientValidator::ActOnDecision(int decision)
{
    CInstallConfig& config = Config();
    switch (decision) {
    case 1: // installed in the offered version already
        m_result = StopInstall;
        OfferToLaunchInstalledProduct();
        break;
    case 2: // this installer is too old: fetch the current one, start it at exit
        m_downloadResult = DownloadNewInstaller(config, m_strNewInstallerPath, &m_successor);
        if (m_downloadResult != 0)
            m_result = RunNewInstaller;
        else
            LogLine(L"Self-check: the newer installer could not be downloaded; the run goes on");
        break;
    case kDecisionVersionDocumentUnavailable:
        m_result = StopInstall;
        ShowMessage(config.IsManifestRead()
                        ? config.m_uiStrings.GetUIString(IDS_ERR_CONNECT_DOWNLOAD_SERVER)
                        : config.DamagedInstallerText(),
                    MB_ICONERROR);
        break;
    case 6: // another product under this product code
        m_result = StopInstall;
        ShowMessage(FormatUIText(config.m_uiStrings.GetUIString(IDS_ERR_INSTALLED_ANOTHER_VERSION),
                                 {config.m_manifest.shortName}),
                    MB_ICONERROR);
        break;
    default: // go on; 3 leaves the question to the install worker's own check
        break;
    }
}

void CClientValidator::OfferToLaunchInstalledProduct()
{
    CInstallConfig& config = Config();
    const std::wstring text = FormatUIText(config.m_uiStrings.GetUIString(IDS_ERR_INSTALLED_ALREADY),
                                           {config.m_manifest.shortName});
    if (ShowMessage(text, MB_YESNO | MB_ICONERROR) != IDYES)
        return;
    const std::wstring path = config.GetInstalledExecutable();
    if (path.empty() || !IsExistingFile(path) || !m_launch) {
        LogLine(L"Self-check: the installed product's program is not known; nothing is started");
        return;
    }
    LogLine(L"Self-check: starting the installed product " + path);
    // Shell automation needs COM on this thread; only a successful initialisation is undone.
    const HRESULT hr = ::CoInitialize(nullptr);
    if (!m_launch(path))
        LogLine(L"Self-check: the installed product could not be started");
    if (SUCCEEDED(hr))
        ::CoUninitialize();
}

int CClientValidator::ShowMessage(const std::wstring& text, UINT type)
{
    // The box stands alone: the dialog behind it has nothing more to show.
    ::ShowWindow(m_hWnd, SW_HIDE);
    // A quiet run takes the answer that does not go on: no launch, OK to an error.
    return RunMessageBox(m_hWnd, text, Config().MessageCaption(), type, DeclineAnswer(type));
}

bool ValidationRunOutcome(ValidationResult result, int decision, DWORD* code)
{
    switch (result) {
    case StopInstall:
        *code = decision == 1 ? RunOutcomeSuccess : RunOutcomeFailed;
        return true;
    case RunNewInstaller:
        *code = RunOutcomeSuccess;
        return true;
    default:
        return false;
    }
}
