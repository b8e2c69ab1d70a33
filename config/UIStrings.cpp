#include "config/UIStrings.h"

#include "framework/Handles.h"

#include <windows.h>
#include <shlwapi.h>

namespace {

struct FindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
using CFindHandle = CUniqueHandle<FindHandleTraits>;

// Every *.jpg file of a folder, in the order the file system lists them.
std::vector<std::wstring> ListJpgFiles(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    const std::wstring pattern = folder + L"*.jpg";
    WIN32_FIND_DATAW data = {};
    CFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find)
        return files;
    do {
        // Sub-folders named *.jpg are not pictures, and a short-name match
        // ("a.jpgx" as "A~1.JPG") is not a JPEG file.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            HasJpgExtension(data.cFileName))
            files.push_back(folder + data.cFileName);
    } while (::FindNextFileW(find.Get(), &data));
    return files;
}

} // namespace

std::wstring CUIStrings::ReadLanguageValue(int languageId, const wchar_t* section,
                                           const wchar_t* key,
                                           const std::wstring& fallback) const
{
    // Before the manifest load sets the folder the path would be relative, and
    // GetPrivateProfileStringW resolves relative names in the Windows folder
    // while PathFileExistsW uses the current one: neither is the installer's
    // own language file, so the default is the only right answer.
    if (m_strLanguageFolder.empty())
        return fallback;
    const std::wstring path = LanguageIniPath(m_strLanguageFolder, languageId);
    if (!::PathFileExistsW(path.c_str()))
        return fallback;
    return ReadUncutProfileValue([&](wchar_t* buffer, unsigned long size) -> unsigned long {
        return ::GetPrivateProfileStringW(section, key, fallback.c_str(), buffer, size,
                                          path.c_str());
    });
}

std::wstring CUIStrings::GetUIString(const UIStringKey& key) const
{
    return ReadLanguageValue(m_nLanguageId, L"UISTRING", key.name, key.defaultText);
}

std::wstring CUIStrings::GetLink(const UIStringKey& key) const
{
    return ReadLanguageValue(m_nLanguageId, L"RLINK", key.name, key.defaultText);
}

std::wstring CUIStrings::GetLanguageTitle(int languageId) const
{
    return ReadLanguageValue(languageId, L"LANGUAGE", L"Title", LanguageIdText(languageId));
}

std::vector<std::wstring> CUIStrings::GetSlidePictures(int snappedDpi)
{
    // Without a language folder the search would be relative to the current folder.
    if (m_slidePictures.empty() && !m_strLanguageFolder.empty()) {
        const std::wstring folder =
            SlideFolderPath(m_strLanguageFolder, m_nLanguageId, SlideScaleForDpi(snappedDpi));
        m_slidePictures = ListJpgFiles(folder);
    }
    return m_slidePictures;
}
