// The destination folder part of the settings panel: reading and resetting the folder text,
// the check and creation of the folder on Install, and the folder browser.
#include "panels/SettingPanel.h"

#include "config/InstallConfig.h"
#include "config/UITextFormat.h"
#include "panels/InstallFolderRules.h"
#include "framework/RunLog.h"

#include <shlwapi.h>

#include <memory>

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;

std::wstring Text(const UIStringKey& key)
{
    return TheInstallConfig().m_uiStrings.GetUIString(key);
}

struct PidlFree
{
    void operator()(ITEMIDLIST* pidl) const { ::CoTaskMemFree(pidl); }
};

bool BrowseWithShell(BROWSEINFOW& info, std::wstring* chosen)
{
    // The new dialog style needs OLE on this thread; a thread that already runs another
    // apartment keeps it and the browser still works in the old style.
    HRESULT ole = ::OleInitialize(nullptr);
    bool found = false;
    {
        std::unique_ptr<ITEMIDLIST, PidlFree> pidl(::SHBrowseForFolderW(&info));
        wchar_t path[MAX_PATH] = {};
        if (pidl && ::SHGetPathFromIDListW(pidl.get(), path) && path[0]) {
            *chosen = path;
            found = true;
        }
    }
    if (SUCCEEDED(ole))
        ::OleUninitialize();
    return found;
}

CSettingPanel::FolderBrowser g_browseFolder = &BrowseWithShell;

DWORD FolderAttributes(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str());
}

FolderSystem RealFolderSystem()
{
    FolderSystem fs;
    fs.exists = [](const std::wstring& p) { return FolderAttributes(p) != INVALID_FILE_ATTRIBUTES; };
    fs.isFolder = [](const std::wstring& p) {
        DWORD attributes = FolderAttributes(p);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    fs.createFolder = [](const std::wstring& p) {
        return ::CreateDirectoryW(p.c_str(), nullptr) != FALSE;
    };
    return fs;
}

} // namespace

void CSettingPanel::SetFolderBrowserForTesting(FolderBrowser browser)
{
    g_browseFolder = browser ? browser : &BrowseWithShell;
}

std::wstring CSettingPanel::FolderText() const
{
    if (!m_edtFolder.m_hWnd)
        return {};
    int length = ::GetWindowTextLengthW(m_edtFolder);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(m_edtFolder, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void CSettingPanel::SetFolderText(const std::wstring& text)
{
    if (m_edtFolder.m_hWnd)
        m_edtFolder.SetWindowText(text.c_str());
}

void CSettingPanel::RefuseFolder(const std::wstring& path)
{
    const ManifestInfo& manifest = TheInstallConfig().m_manifest;
    std::wstring message = FormatUIText(Text(IDS_ERR_CREATE_FOLDER_FAILED), {path});
    RunMessageBox(m_hWnd, message, manifest.shortName, MB_ICONWARNING | MB_OK, IDOK);
    SetFolderText(TheInstallConfig().m_strInstallFolder);
}

bool PrepareInstallFolderWithoutPanel()
{
    std::wstring& folder = TheInstallConfig().m_strInstallFolder;
    const std::wstring path = DropFinalBackslash(folder);
    const bool usable = FitsFolderBuffer(path, kInstallFolderChars) && !::PathIsRelativeW(path.c_str()) &&
                        PrepareInstallFolder(path, RealFolderSystem());
    LogLine((usable ? L"Install folder ready: " : L"Install folder cannot be created: ") + path);
    if (usable)
        folder = path;
    return usable;
}

bool CSettingPanel::ValidateInstallFolder()
{
    if (!m_bLicenseAccepted)
        return false;
    // The folder is kept as Windows writes it: "C:/Apps" becomes "C:\\Apps".
    const std::wstring path = DropFinalBackslash(WithBackslashes(FolderText()));
    // PathIsRelativeW is what Windows calls relative; the rules also refuse drive-relative
    // texts, texts too long for a path, and paths that end up as no folder.
    bool usable = FitsFolderBuffer(path, kInstallFolderChars) && !::PathIsRelativeW(path.c_str()) &&
                  PrepareInstallFolder(path, RealFolderSystem());
    if (!usable) {
        RefuseFolder(path);
        return false;
    }
    TheInstallConfig().m_strInstallFolder = path;
    return true;
}

int CALLBACK CSettingPanel::BrowseCallback(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data)
{
    if (msg == BFFM_INITIALIZED) {
        if (data)
            ::SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    } else if (msg == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        bool fileSystem = lParam &&
                          ::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path) &&
                          path[0] != L'\0';
        ::SendMessageW(hwnd, BFFM_ENABLEOK, 0, fileSystem ? TRUE : FALSE);
    }
    return 0;
}

void CSettingPanel::OnBrowse()
{
    const std::wstring text = FolderText();
    if (!FitsFolderBuffer(text, kBrowseTextChars)) {
        RefuseFolder(text);
        return;
    }
    std::wstring start;
    if (!text.empty()) {
        wchar_t full[kBrowseFullPathChars] = {};
        DWORD length = ::GetFullPathNameW(text.c_str(), kBrowseFullPathChars, full, nullptr);
        // A result at least as large as the buffer is the size it would have needed.
        if (length >= kBrowseFullPathChars) {
            RefuseFolder(text);
            return;
        }
        if (length > 0)
            start = BrowseStartFolder(TrimBrowseBackslash(full), [](const std::wstring& p) {
                return ::PathFileExistsW(p.c_str()) != FALSE;
            });
    }

    const std::wstring title = Text(IDS_BROWSE_DEST_FOLDER);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = m_hWnd;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = kBrowseFlags;
    info.lpfn = &CSettingPanel::BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    std::wstring chosen;
    if (!g_browseFolder(info, &chosen) || chosen.empty())
        return;
    TheInstallConfig().m_strInstallFolder = chosen;
    SetFolderText(chosen);
}
