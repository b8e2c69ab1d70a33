// The local folders beside the executable and the names of the files stored in them.
#include "config/InstallConfig.h"

#include "config/FileNameRules.h"
#include "framework/RunLog.h"

#include <shlobj.h>

namespace {

std::wstring WithoutTrailingBackslash(const std::wstring& folder)
{
    if (folder.size() > 1 && folder.back() == L'\\')
        return folder.substr(0, folder.size() - 1);
    return folder;
}

// ERROR_SUCCESS when the folder exists afterwards, else why it does not. A file standing
// where the folder should be is a failure: the downloads into it would all fail later, far
// from the cause.
DWORD EnsureFolder(const std::wstring& folder)
{
    const std::wstring path = WithoutTrailingBackslash(folder);
    if (IsExistingFolder(path))
        return ERROR_SUCCESS;
    const int result = ::SHCreateDirectory(nullptr, path.c_str());
    if (IsExistingFolder(path))
        return ERROR_SUCCESS;
    return result != ERROR_SUCCESS ? static_cast<DWORD>(result) : ERROR_PATH_NOT_FOUND;
}

// Makes the folder, logs it ready, or adds the load problem of one that cannot be had.
bool PrepareFolder(const wchar_t* purpose, const std::wstring& folder, std::wstring& problem)
{
    const DWORD error = EnsureFolder(folder);
    if (error == ERROR_SUCCESS) {
        LogLine(std::wstring(purpose) + L" folder ready: " + folder);
        return true;
    }
    problem = L"the folder " + folder + L" cannot be created (error " + std::to_wstring(error) +
              L")";
    return false;
}

// Removes the folder when it is empty (RemoveDirectoryW removes nothing else); true when it went.
bool RemoveFolderIfEmpty(const std::wstring& folder)
{
    return !folder.empty() && ::RemoveDirectoryW(WithoutTrailingBackslash(folder).c_str()) != FALSE;
}

std::wstring LanguagePackFileName(int langId)
{
    return L"language_pack_" + std::to_wstring(langId) + L".exe";
}

} // namespace

bool CInstallConfig::PrepareFolders()
{
    m_strComponentFolder = m_strExeFolder + L"\\component\\";
    m_strMsiFolder = m_strExeFolder + L"\\msi\\";
    m_strTransformFolder = m_strExeFolder + L"\\transform\\";
    // A web build starts from an empty component folder when it can (only an empty one is
    // removed); a standalone build keeps it, it holds the shipped components.
    std::wstring problem;
    if (m_manifest.standalone) {
        LogLine(L"Component folder kept as shipped (standalone build): " + m_strComponentFolder);
    } else {
        RemoveFolderIfEmpty(m_strComponentFolder);
        if (!PrepareFolder(L"Download", m_strComponentFolder, problem))
            return Fail(problem);
    }
    if (!PrepareFolder(L"Package", m_strMsiFolder, problem) ||
        !PrepareFolder(L"Transform", m_strTransformFolder, problem))
        return Fail(problem);
    return true;
}

void CInstallConfig::RemoveEmptyDownloadFolders()
{
    if (m_manifest.standalone)
        return;
    for (const std::wstring* folder : {&m_strComponentFolder, &m_strMsiFolder, &m_strTransformFolder}) {
        if (RemoveFolderIfEmpty(*folder))
            LogLine(L"Removed the empty folder " + *folder);
    }
}

// The tick count, printed signed, keeps repeated downloads of one name apart. Two calls
// within one tick (ticks advance in steps of 10-16 ms), or a file left from an earlier run,
// would give a name already in use; the stamp then moves on until the name is new.
std::wstring CInstallConfig::NextStamp()
{
    std::lock_guard<std::mutex> lock(m_stampLock);
    DWORD stamp = m_tickCount();
    if (m_bStampIssued && static_cast<int32_t>(stamp - m_lastStamp) <= 0)
        stamp = m_lastStamp + 1;
    m_bStampIssued = true;
    m_lastStamp = stamp;
    return std::to_wstring(static_cast<int32_t>(stamp));
}

std::wstring CInstallConfig::GetDownloadPath(const std::wstring& name)
{
    if (!IsSafeFileName(name))
        return std::wstring();
    if (m_manifest.standalone)
        return m_strComponentFolder + name;
    // Bounded so that a folder that reports every name as taken cannot hold the caller.
    for (int attempt = 0; attempt < 10000; ++attempt) {
        std::wstring path = m_strComponentFolder + NextStamp() + name;
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return path;
    }
    return std::wstring();
}

std::wstring CInstallConfig::GetLanguagePackPath(int langId)
{
    return GetDownloadPath(LanguagePackFileName(langId));
}

std::wstring CInstallConfig::GetMainPackagePath() const
{
    if (!IsSafeFileName(m_manifest.mainComponent.name))
        return std::wstring();
    return m_strMsiFolder + m_manifest.mainComponent.name;
}

std::wstring CInstallConfig::GetTransformPath(int langId) const
{
    return m_strTransformFolder + std::to_wstring(langId) + L".mst";
}

std::wstring CInstallConfig::GetNewInstallerPath()
{
    const std::wstring fileName = m_manifest.fullName + L".exe";
    if (!IsSafeFileName(fileName))
        return std::wstring();
    const std::wstring temp = ReadTempFolder();
    if (temp.empty())
        return std::wstring();
    const std::wstring folder =
        temp + L"PelWebInstaller_" + std::to_wstring(static_cast<int32_t>(m_tickCount()));
    if (EnsureFolder(folder) != ERROR_SUCCESS)
        return std::wstring();
    return folder + L"\\" + fileName;
}
