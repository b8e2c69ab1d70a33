#include "LanguageCheck.h"

#include "ValueChecks.h"

#include "config/LanguageChoice.h"
#include "config/UIStringTable.h"
#include "config/UIStrings.h"
#include "framework/Handles.h"

#include <windows.h>

#include <set>
#include <vector>

namespace {

// Bytes looked at for the encoding; enough to tell ASCII from not in any real string.ini.
constexpr DWORD kEncodingSniffBytes = 1 << 20;
// Longest list of section or key names read from one file.
constexpr DWORD kMaxNameListChars = 1 << 20;

const int kSlideScales[] = {100, 125, 150, 200};

struct FindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
using CFindHandle = CUniqueHandle<FindHandleTraits>;

bool SameName(const std::wstring& a, const wchar_t* b)
{
    return LowerAscii(a) == LowerAscii(b);
}

// A double-null-terminated list of names from a profile call that behaves like
// GetPrivateProfileSectionNamesW: a full buffer (size - 2) is read again with more room.
template <class Reader>
std::vector<std::wstring> ReadNameList(Reader read)
{
    std::vector<wchar_t> buffer(1024);
    DWORD count = 0;
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        count = read(buffer.data(), size);
        if (count < size - 2 || size >= kMaxNameListChars)
            break;
        buffer.assign(static_cast<size_t>(size) * 2, L'\0');
    }
    std::vector<std::wstring> names;
    for (size_t i = 0; i < count && i < buffer.size() && buffer[i] != L'\0';) {
        std::wstring name(&buffer[i]);
        i += name.size() + 1;
        names.push_back(std::move(name));
    }
    return names;
}

std::wstring ReadValue(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    return ReadUncutProfileValue([&](wchar_t* buffer, unsigned long size) -> unsigned long {
        return ::GetPrivateProfileStringW(section, key, L"", buffer, size, path.c_str());
    });
}

// The profile functions read UTF-16LE with a byte-order mark as such and anything else in
// the system's ANSI code page.
void CheckEncoding(const std::wstring& where, const std::string& head, CCheckReport& report)
{
    auto startsWith = [&](const char* mark, size_t n) {
        return head.size() >= n && head.compare(0, n, mark, n) == 0;
    };
    if (startsWith("\xFF\xFE", 2))
        return;
    if (startsWith("\xEF\xBB\xBF", 3)) {
        report.Warning(where + L"is UTF-8 with a byte-order mark: Windows reads it in the ANSI "
                               L"code page, so its non-ASCII letters come out wrong and the "
                               L"mark hides the first section; save it as UTF-16LE with a "
                               L"byte-order mark");
        return;
    }
    if (startsWith("\xFE\xFF", 2)) {
        report.Warning(where + L"is UTF-16BE; save it as UTF-16LE with a byte-order mark");
        return;
    }
    bool ascii = true;
    for (char c : head)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    report.Warning(where + L"is not UTF-16LE with a byte-order mark, so Windows reads it in "
                           L"the ANSI code page of the user's system" +
                   (ascii ? L" (it is plain ASCII, which reads the same everywhere)"
                          : L"; its non-ASCII letters show correctly only where that code "
                            L"page matches the one it was saved in"));
}

void CheckTextKeys(const std::wstring& where, const std::wstring& path, CCheckReport& report)
{
    const UIStringKey* const* keys = AllUIStringKeys();
    std::set<std::wstring> seen;
    const std::vector<std::wstring> names = ReadNameList([&](wchar_t* b, DWORD n) {
        return ::GetPrivateProfileStringW(L"UISTRING", nullptr, L"", b, n, path.c_str());
    });
    for (const std::wstring& name : names) {
        if (!seen.insert(LowerAscii(name)).second) {
            report.Warning(where + L"[UISTRING] " + name + L" appears twice; the first counts");
            continue;
        }
        const UIStringKey* key = nullptr;
        for (size_t i = 0; i < kUIStringKeyCount && !key; ++i)
            key = SameName(name, keys[i]->name) ? keys[i] : nullptr;
        if (!key) {
            report.Warning(where + L"[UISTRING] " + name +
                           L" is not one of the installer's " +
                           std::to_wstring(kUIStringKeyCount) + L" keys; it is never shown");
            continue;
        }
        if (key == &IDS_RLINK_TERMS || key == &IDS_RLINK_SLIDE_SHOW) {
            report.Warning(where + L"[UISTRING] " + name +
                           L" is a link; links are read from [RLINK] only");
            continue;
        }
        const std::vector<std::wstring> expected = Placeholders(key->defaultText);
        const std::vector<std::wstring> found = Placeholders(ReadValue(path, L"UISTRING",
                                                                       key->name));
        if (found != expected)
            report.Warning(where + L"[UISTRING] " + key->name + L" has the placeholders " +
                           DescribePlaceholders(found) + L" where the English text has " +
                           DescribePlaceholders(expected) + L"; keep exactly those, in order");
    }
}

void CheckLinks(const std::wstring& where, const std::wstring& path, CCheckReport& report)
{
    const std::vector<std::wstring> names = ReadNameList([&](wchar_t* b, DWORD n) {
        return ::GetPrivateProfileStringW(L"RLINK", nullptr, L"", b, n, path.c_str());
    });
    for (const std::wstring& name : names) {
        if (!SameName(name, IDS_RLINK_TERMS.name) && !SameName(name, IDS_RLINK_SLIDE_SHOW.name)) {
            report.Warning(where + L"[RLINK] " + name +
                           L" is not one of the two links the installer reads");
            continue;
        }
        const std::wstring link = ReadValue(path, L"RLINK", name.c_str());
        if (!IsHttpAddress(link))
            report.Warning(where + L"[RLINK] " + name + L" " + Quoted(link) +
                           L" is not an http:// or https:// address");
    }
}

void CheckTitle(int id, const std::wstring& where, const std::wstring& path,
                CCheckReport& report)
{
    const std::vector<std::wstring> names = ReadNameList([&](wchar_t* b, DWORD n) {
        return ::GetPrivateProfileStringW(L"LANGUAGE", nullptr, L"", b, n, path.c_str());
    });
    bool haveTitle = false;
    for (const std::wstring& name : names) {
        if (SameName(name, L"Title"))
            haveTitle = true;
        else
            report.Warning(where + L"[LANGUAGE] " + name + L" is not read (only Title is)");
    }
    // English is listed as "English" whatever its file says.
    if (id == kDefaultLanguageId)
        return;
    if (!haveTitle)
        report.Warning(where + L"has no [LANGUAGE] Title; the language list shows " +
                       Quoted(LanguageIdText(id)));
    else if (ReadValue(path, L"LANGUAGE", L"Title").empty())
        report.Warning(where + L"has an empty [LANGUAGE] Title; the language list shows an "
                               L"empty entry");
}

void CheckSections(const std::wstring& where, const std::wstring& path, CCheckReport& report)
{
    const std::vector<std::wstring> sections = ReadNameList([&](wchar_t* b, DWORD n) {
        return ::GetPrivateProfileSectionNamesW(b, n, path.c_str());
    });
    for (const std::wstring& section : sections) {
        if (!SameName(section, L"UISTRING") && !SameName(section, L"RLINK") &&
            !SameName(section, L"LANGUAGE"))
            report.Warning(where + L"[" + section + L"] is not a section the installer reads");
    }
}

void ReportSlides(int id, const std::wstring& folder, CCheckReport& report)
{
    std::wstring counts;
    int total = 0;
    for (int scale : kSlideScales) {
        const std::wstring slides = SlideFolderPath(folder, id, scale);
        int n = 0;
        WIN32_FIND_DATAW data = {};
        CFindHandle find(::FindFirstFileW((slides + L"*.jpg").c_str(), &data));
        if (find) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    HasJpgExtension(data.cFileName))
                    ++n;
            } while (::FindNextFileW(find.Get(), &data));
        }
        total += n;
        counts += (counts.empty() ? L"" : L", ") + Decimal(scale) + L": " + Decimal(n);
    }
    if (total == 0)
        report.Note(Decimal(id) + L": no slide pictures in slides\\100, 125, 150 or 200; the "
                                  L"progress panel shows no slide show in this language");
    else
        report.Line(Decimal(id) + L": slide pictures per scale folder: " + counts);
}

void CheckLanguageFile(int id, const std::wstring& folder, CCheckReport& report)
{
    const std::wstring path = LanguageIniPath(folder, id);
    const std::wstring where = path + L": ";
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (id == kDefaultLanguageId)
            report.Line(Decimal(id) + L": no string.ini; the built-in English texts are shown");
        else
            report.Warning(where + L"missing; this language shows the English texts and is "
                                   L"listed as " + Quoted(LanguageIdText(id)));
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        report.Warning(where + L"is a folder, not a file; the installer cannot read it and "
                               L"shows the English texts");
        return;
    }
    CFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        report.Warning(where + L"cannot be read (error " + Decimal(::GetLastError()) +
                       L"); the installer shows the English texts");
        return;
    }
    std::string head(kEncodingSniffBytes, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.Get(), &head[0], kEncodingSniffBytes, &read, nullptr)) {
        report.Warning(where + L"cannot be read (error " + Decimal(::GetLastError()) +
                       L"); the installer shows the English texts");
        return;
    }
    head.resize(read);
    report.Line(Decimal(id) + L": " + path);
    CheckEncoding(where, head, report);
    CheckSections(where, path, report);
    CheckTitle(id, where, path, report);
    CheckTextKeys(where, path, report);
    CheckLinks(where, path, report);
}

} // namespace

void ReportLanguages(const ManifestInfo& info, const std::wstring& languageFolder,
                     bool checkFiles, CCheckReport& report)
{
    CUIStrings strings;
    strings.SetLanguageFolder(languageFolder);
    const std::vector<LanguageEntry> languages = BuildLanguageList(
        info.languagePacks, [&](int id) { return strings.GetLanguageTitle(id); });
    report.Line(L"language folder: " + languageFolder);
    const DWORD attributes = ::GetFileAttributesW(languageFolder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        report.Note(L"the language folder does not exist; every language is listed by its "
                    L"number and shows the English texts");
    for (const LanguageEntry& entry : languages)
        report.Line(Decimal(entry.langId) + L" " + Quoted(entry.displayName));
    if (!checkFiles)
        return;

    std::set<int> checked;
    for (const LanguageEntry& entry : languages) {
        if (!checked.insert(entry.langId).second)
            continue;
        CheckLanguageFile(entry.langId, languageFolder, report);
        ReportSlides(entry.langId, languageFolder, report);
    }
}
