#include "panels/InstallFolderRules.h"

namespace {

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Windows takes a slash for a backslash in a path.
bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool EndsWithColon(const std::wstring& path)
{
    return !path.empty() && path.back() == L':';
}

std::vector<std::wstring> SplitComponents(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace

bool FitsFolderBuffer(const std::wstring& text, std::size_t bufferChars)
{
    return bufferChars > 0 && text.size() < bufferChars;
}

std::wstring WithBackslashes(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring DropFinalBackslash(const std::wstring& path)
{
    if (!path.empty() && IsSeparator(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

std::wstring TrimBrowseBackslash(const std::wstring& path)
{
    if (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != L':')
        return path.substr(0, path.size() - 1);
    return path;
}

bool IsDriveRelativePath(const std::wstring& path)
{
    return path.size() > 2 && IsDriveLetter(path[0]) && path[1] == L':' && !IsSeparator(path[2]);
}

bool IsFixedFolderPath(const std::wstring& path)
{
    if (path.empty())
        return false;
    if (IsSeparator(path[0]))
        return true;
    if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != L':')
        return false;
    return path.size() == 2 || IsSeparator(path[2]);
}

std::vector<std::wstring> FolderCreationSteps(const std::wstring& path)
{
    std::vector<std::wstring> parts = SplitComponents(path);
    std::vector<std::wstring> steps;
    std::wstring accumulated;
    std::size_t next = 0;
    const bool network = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    if (network) {
        // The server is no folder that could be created; the share below it is the first.
        accumulated = L"\\\\";
        if (!parts.empty())
            accumulated += parts[next++];
    }
    const bool leadingBackslash = !path.empty() && IsSeparator(path[0]);
    for (; next < parts.size(); ++next) {
        if (!accumulated.empty() || leadingBackslash)
            accumulated += L'\\';
        accumulated += parts[next];
        if (!EndsWithColon(accumulated))
            steps.push_back(accumulated);
    }
    return steps;
}

bool PrepareInstallFolder(const std::wstring& typed, const FolderSystem& fileSystem)
{
    if (!FitsFolderBuffer(typed, kInstallFolderChars) || !IsFixedFolderPath(typed))
        return false;
    const std::wstring path = WithBackslashes(typed);
    // A drive alone names its current folder; its root is what must exist.
    const std::wstring checked = EndsWithColon(path) ? path + L"\\" : path;
    if (fileSystem.isFolder(checked))
        return true;
    for (const std::wstring& step : FolderCreationSteps(path)) {
        if (!fileSystem.exists(step) && !fileSystem.createFolder(step))
            return false;
    }
    return fileSystem.isFolder(checked);
}

std::wstring BrowseStartFolder(const std::wstring& path,
                               const std::function<bool(const std::wstring&)>& exists)
{
    std::wstring start = path;
    while (!exists(start)) {
        std::size_t cut = start.find_last_of(L"\\/");
        if (cut == std::wstring::npos)
            break;
        start.resize(cut);
    }
    return start;
}

bool SentenceStartsWith(const std::wstring& sentence, const std::wstring& prefix)
{
    return sentence.compare(0, prefix.size(), prefix) == 0 && sentence.size() >= prefix.size();
}
