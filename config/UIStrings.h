// Texts of the user interface in the current language.
//
// Every lookup reads the language's string.ini anew, so a language chosen in
// the settings panel reaches the next text shown. A missing folder, file,
// section or key falls back to the built-in default; no error is reported.
#pragma once

#include "config/UIStringTable.h"

#include <string>
#include <vector>

class CUIStrings
{
public:
    // Current language (Windows language id). Start-up and the settings panel
    // set it directly; it is not changed while the install worker runs.
    int m_nLanguageId = kDefaultLanguageId;

    // The folder holding one sub-folder per language id, with its trailing
    // backslash (exe folder + "\language\"). Empty until the manifest load sets it.
    void SetLanguageFolder(const std::wstring& folder) { m_strLanguageFolder = folder; }
    const std::wstring& GetLanguageFolder() const { return m_strLanguageFolder; }

    // [UISTRING] key.name of the current language, else the key's default.
    std::wstring GetUIString(const UIStringKey& key) const;

    // [RLINK] key.name of the current language, else the key's built-in link.
    std::wstring GetLink(const UIStringKey& key) const;

    // [LANGUAGE] Title of the given language (not the current one), else the id in decimal.
    std::wstring GetLanguageTitle(int languageId) const;

    // Full paths of the slide-show pictures for the screen's resolution. The
    // list is searched once and kept while it has an entry; an empty result
    // is searched again on the next call.
    // The scale folder follows the screen's snapped DPI, which the caller
    // passes (SnappedDpi of the controls layer): 200 from 192 dpi, 150 from
    // 144, 125 from 120, else 100.
    std::vector<std::wstring> GetSlidePictures(int snappedDpi);

private:
    std::wstring ReadLanguageValue(int languageId, const wchar_t* section, const wchar_t* key,
                                   const std::wstring& fallback) const;

    std::wstring m_strLanguageFolder;
    std::vector<std::wstring> m_slidePictures;
};
