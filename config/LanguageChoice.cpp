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

namespace {

// The command line's language when its number is at least 1, else the user's UI language.
int CandidateLanguage(int uiLanguage, const std::wstring& commandLineLanguage)
{
    const int requested = WtoiLike(commandLineLanguage);
    return requested >= 1 ? requested : uiLanguage;
}

} // namespace

int ChooseLanguageId(const std::vector<LanguageEntry>& languages, int uiLanguage,
                     const std::wstring& commandLineLanguage)
{
    const int candidate = CandidateLanguage(uiLanguage, commandLineLanguage);
    for (const LanguageEntry& entry : languages) {
        if (entry.langId == candidate)
            return candidate;
    }
    return kDefaultLanguageId;
}

std::wstring DescribeLanguageChoice(const std::vector<LanguageEntry>& languages, int uiLanguage,
                                    const std::wstring& commandLineLanguage)
{
    const int candidate = CandidateLanguage(uiLanguage, commandLineLanguage);
    const int chosen = ChooseLanguageId(languages, uiLanguage, commandLineLanguage);
    const std::wstring source = WtoiLike(commandLineLanguage) >= 1
                                    ? L"/lang " + commandLineLanguage
                                    : L"the user's UI language " + std::to_wstring(uiLanguage);
    if (chosen == candidate)
        return std::to_wstring(chosen) + L" (from " + source + L")";
    return std::to_wstring(chosen) + L" (English: no language offered for " + source + L")";
}
