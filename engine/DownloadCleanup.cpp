#include "engine/DownloadCleanup.h"

#include "config/InstallConfig.h"
#include "config/NameCompare.h"
#include "engine/PartialDownload.h"
#include "framework/RunLog.h"

#include <windows.h>

#include <utility>

namespace {

// The folder part of a path, with its backslash; empty when there is none.
std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Deletes one file when it is there; true when it was deleted. One that cannot be deleted
// (still open elsewhere) stays, and the log says so.
bool RemoveFile(const std::wstring& path)
{
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (::DeleteFileW(path.c_str()))
        return true;
    LogLine(L"Cannot remove " + path + L" (error " + std::to_wstring(::GetLastError()) + L")");
    return false;
}

// Files removed per folder, in the order the folders first came up.
class CRemovalTally
{
public:
    void Add(const std::wstring& folder, int count)
    {
        for (auto& entry : m_folders) {
            if (entry.first == folder) {
                entry.second += count;
                return;
            }
        }
        m_folders.emplace_back(folder, count);
    }

    void Log() const
    {
        for (const auto& entry : m_folders) {
            if (entry.second > 0)
                LogLine(L"Removed " + std::to_wstring(entry.second) +
                        (entry.second == 1 ? L" downloaded file from " : L" downloaded files from ") +
                        entry.first);
        }
    }

private:
    std::vector<std::pair<std::wstring, int>> m_folders;
};

} // namespace

void RemoveVersionDocumentCopy(const std::wstring& path)
{
    if (path.empty())
        return;
    const int removed = RemoveFile(path) + RemoveFile(PartialFilePath(path)) + RemoveFile(ResumeRecordPath(path));
    if (removed > 0)
        LogLine(L"Removed the copy of the version document " + path);
}

void RemoveRunDownloads(CInstallConfig& config, const std::vector<std::wstring>& paths, bool installed)
{
    const std::wstring folders[] = {config.m_strComponentFolder, config.m_strMsiFolder,
                                    config.m_strTransformFolder};
    CRemovalTally tally;
    for (const std::wstring& path : paths) {
        const std::wstring folder = FolderOf(path);
        bool ours = false;
        for (const std::wstring& f : folders)
            ours = ours || (!f.empty() && EqualNamesIgnoringCase(folder, f));
        if (!ours)
            continue;
        int removed = RemoveFile(path);
        // The next run continues a kept part only under the same path; it names each
        // component\ download anew (CInstallConfig::GetDownloadPath).
        const bool resumable = !installed && !EqualNamesIgnoringCase(folder, config.m_strComponentFolder) &&
                               PartialFileLength(path) > 0 && IsExistingFile(ResumeRecordPath(path));
        if (resumable)
            LogLine(L"Kept for the next run: " + PartialFilePath(path));
        else
            removed += RemoveFile(PartialFilePath(path)) + RemoveFile(ResumeRecordPath(path));
        tally.Add(folder, removed);
    }
    tally.Log();
    config.RemoveEmptyDownloadFolders();
}
