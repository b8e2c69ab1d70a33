#include "config/LanguageChoice.h"

#include "config/TextNumber.h"
#include "config/UIStringTable.h"

std::vector<LanguageEntry> BuildLanguageList(const std::vector<LanguagePackInfo>& packs,
                                             const std::function<std::wstring(int)>& title)
{
    std::vector<LanguageEntry> languages;
    languages.reserve(packs.size() + 1);
    languages.push_back(LanguageEntry{L"English", kDefaultLanguageId});
    for (const LanguagePackInfo& pack : packs)
        languages.push_back(LanguageEntry{title(pack.langId), pack.langId});
    return languages;
}

int ChooseLanguageId(const std::vector<LanguageEntry>& languages, int uiLanguage,
                     const std::wstring& commandLineLanguage)
{
    int candidate = uiLanguage;
    const int requested = WtoiLike(commandLineLanguage);
    if (requested >= 1)
        candidate = requested;
    for (const LanguageEntry& entry : languages) {
        if (entry.langId == candidate)
            return candidate;
    }
    return kDefaultLanguageId;
}
