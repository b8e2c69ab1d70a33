#include "panels/PanelShell.h"

#include "config/InstallConfig.h"
#include "config/UIStringTable.h"
#include "config/UITextFormat.h"
#include "engine/LaunchAsDesktopUser.h"
#include "panels/PanelText.h"
#include "framework/RunLog.h"

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace {

ShellAction& WebAddressOpener()
{
    static ShellAction opener;
    return opener;
}

ShellAction& ProductLauncher()
{
    static ShellAction launcher;
    return launcher;
}

// COM for the calling thread for the time of one shell call; uninitialised only when this
// initialisation succeeded (S_FALSE included, which still counts one use).
class CComThreadUse
{
public:
    CComThreadUse() : m_hr(::CoInitialize(nullptr)) {}
    ~CComThreadUse()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComThreadUse(const CComThreadUse&) = delete;
    CComThreadUse& operator=(const CComThreadUse&) = delete;

private:
    HRESULT m_hr;
};

} // namespace

bool OpenWebAddress(const std::wstring& url)
{
    if (!IsWebAddress(url)) {
        TraceLine(L"Link not opened (not an http or https address): " + url + L"\n");
        return false;
    }
    if (WebAddressOpener()) {
        WebAddressOpener()(url);
        return true;
    }
    // Never ShellExecuteW from here: the browser would inherit the installer's elevated
    // rights (and, after an over-the-shoulder elevation, the administrator's account).
    CComThreadUse com;
    if (!OpenAsDesktopUser(url)) {
        TraceLine(L"Link not opened (no desktop shell took it to open as the signed-in user): " + url + L"\n");
        return false;
    }
    return true;
}

bool LaunchInstalledProduct(const std::wstring& path)
{
    // A folder passes PathFileExistsW as well; the shell would open it in Explorer instead
    // of starting a program.
    if (path.empty() || !IsExistingFile(path))
        return false;
    if (ProductLauncher()) {
        ProductLauncher()(path);
        return true;
    }
    CComThreadUse com;
    return LaunchAsDesktopUser(path);
}

bool StartProductAfterInstall(HWND owner)
{
    const CInstallConfig& config = TheInstallConfig();
    const std::wstring path =
        ProductProgramPath(config.m_strInstallFolder, config.m_manifest.executable);
    LogLine(L"Starting the product: " + path);
    if (LaunchInstalledProduct(path))
        return true;
    LogLine(L"The product could not be started (" +
            std::wstring(IsExistingFile(path) ? L"the desktop shell did not start it"
                                              : L"no such program") +
            L")");
    RunMessageBox(owner,
                  FormatUIText(config.m_uiStrings.GetUIString(IDS_ERR_LAUNCH_FAILED),
                               {config.m_manifest.fullName}),
                  config.MessageCaption(), MB_OK | MB_ICONERROR, IDOK);
    return false;
}

void SetWebAddressOpenerForTesting(ShellAction opener) { WebAddressOpener() = std::move(opener); }

void SetProductLauncherForTesting(ShellAction launcher) { ProductLauncher() = std::move(launcher); }
