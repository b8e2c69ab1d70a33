// The languages offered to the user and the one preselected at start-up (standard C++).
#pragma once

#include "config/ManifestInfo.h"

#include <functional>
#include <string>
#include <vector>

// "English" (1033) first, then one entry per language pack in manifest order, named by
// title(id). Duplicate ids stay: the list shows what the manifest offers.
std::vector<LanguageEntry> BuildLanguageList(const std::vector<LanguagePackInfo>& packs,
                                             const std::function<std::wstring(int)>& title);

// The preselected language: the command line's language when its number is at least 1,
// else the user's UI language; taken only when some entry has exactly that id (2055 does not
// select 1031), otherwise 1033.
int ChooseLanguageId(const std::vector<LanguageEntry>& languages, int uiLanguage,
                     const std::wstring& commandLineLanguage);

// The choice ChooseLanguageId makes and why, for the run log: "1031 (from /lang 1031)",
// "1031 (from the user's UI language 1031)", "1033 (English: no language offered for the
// user's UI language 2055)".
std::wstring DescribeLanguageChoice(const std::vector<LanguageEntry>& languages, int uiLanguage,
                                    const std::wstring& commandLineLanguage);
