#include "engine/LaunchAsDesktopUser.h"

#include "framework/Handles.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

// shellapi.h maps ShellExecute to ShellExecuteW; here it is the method of
// IShellDispatch2.
#undef ShellExecute

namespace {

// A VARIANT cleared when it goes out of scope.
class CVariant
{
public:
    CVariant() { VariantInit(&m_value); }
    ~CVariant() { VariantClear(&m_value); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    VARIANT* Ptr() { return &m_value; }
    const VARIANT& Get() const { return m_value; }

    void SetInt(LONG value)
    {
        VariantClear(&m_value);
        V_VT(&m_value) = VT_I4;
        V_I4(&m_value) = value;
    }
    // False when the string cannot be allocated.
    bool SetString(const wchar_t* text)
    {
        VariantClear(&m_value);
        BSTR copy = SysAllocString(text);
        if (!copy)
            return false;
        V_VT(&m_value) = VT_BSTR;
        V_BSTR(&m_value) = copy;
        return true;
    }

private:
    VARIANT m_value;
};

// A BSTR freed when it goes out of scope.
class CBstr
{
public:
    explicit CBstr(const std::wstring& text) : m_value(SysAllocString(text.c_str())) {}
    ~CBstr() { SysFreeString(m_value); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return m_value; }

private:
    BSTR m_value;
};

// The automation object of the shell application behind the desktop's view.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell)
{
    ComPtr<IShellView> view;
    HRESULT hr = FindDesktopFolderView(IID_IShellView, view.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> background;
    hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IShellFolderViewDual> folderView;
    hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> application;
    hr = folderView->get_Application(application.Receive());
    if (FAILED(hr))
        return hr;
    if (!application)
        return E_NOINTERFACE;
    return application->QueryInterface(IID_IShellDispatch2, shell.ReceiveVoid());
}

// Asks the desktop shell to perform operation (empty: the default verb) on
// file, with no arguments, the shell's default folder and SW_SHOWNORMAL. The
// file is passed whole, not as a command line to split, so blanks in a path
// need no quotes. The shell's answer, or the failure to reach it.
HRESULT ShellExecuteInDesktopShell(const std::wstring& file, const wchar_t* operation)
{
    ComPtr<IShellDispatch2> shell;
    HRESULT hr = DesktopShellDispatch(shell);
    if (FAILED(hr))
        return hr;
    CBstr name(file);
    CVariant arguments;
    CVariant directory;
    CVariant verb;
    CVariant show;
    if (!name.Get() || !arguments.SetString(L"") || !directory.SetString(L"") ||
        !verb.SetString(operation))
        return E_OUTOFMEMORY;
    show.SetInt(SW_SHOWNORMAL);
    return shell->ShellExecute(name.Get(), arguments.Get(), directory.Get(), verb.Get(), show.Get());
}

} // namespace

HRESULT FindDesktopFolderView(REFIID iid, void** view)
{
    if (!view)
        return E_POINTER;
    *view = nullptr;
    ComPtr<IShellWindows> windows;
    HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                  windows.ReceiveVoid());
    if (FAILED(hr))
        return hr;

    CVariant location;
    location.SetInt(CSIDL_DESKTOP);
    CVariant root;
    LONG desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    hr = windows->FindWindowSW(location.Ptr(), root.Ptr(), SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                               desktop.Receive());
    // S_FALSE: no desktop window in the collection (no shell running).
    if (hr != S_OK || !desktop)
        return FAILED(hr) ? hr : E_FAIL;

    ComPtr<IServiceProvider> services;
    hr = desktop->QueryInterface(IID_IServiceProvider, services.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IShellBrowser> browser;
    hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IShellView> activeView;
    hr = browser->QueryActiveShellView(activeView.Receive());
    if (FAILED(hr))
        return hr;
    if (!activeView)
        return E_NOINTERFACE;
    return activeView->QueryInterface(iid, view);
}

bool LaunchAsDesktopUser(const std::wstring& path)
{
    // S_FALSE: the shell was reached but could not start the file.
    return ShellExecuteInDesktopShell(path, L"") == S_OK;
}

bool OpenAsDesktopUser(const std::wstring& address)
{
    // S_FALSE: the shell was reached but could not open the address (no
    // program registered for the scheme).
    return ShellExecuteInDesktopShell(address, L"open") == S_OK;
}
