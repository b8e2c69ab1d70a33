#include "ValueChecks.h"

#include "config/ManifestReader.h"
#include "config/Sha256Text.h"
#include "config/TextNumber.h"
#include "config/StartDecision.h"

namespace {

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsHexDigit(wchar_t c)
{
    return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wstring(prefix).size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const wchar_t* suffix)
{
    const std::wstring s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

std::wstring Where(const ElementInfo& e)
{
    return L"`" + e.name + L"` at line " + Decimal(e.line) + L": ";
}

std::wstring VersionText(const VersionNumbers& v)
{
    return Decimal(v.p1) + L"." + Decimal(v.p2) + L"." + Decimal(v.p3) + L"." + Decimal(v.p4);
}

bool IsVersionElement(const std::wstring& name)
{
    return name == L"web_installer_version" || name == L"standalone_version" ||
           name == L"product_version" || name == L"min_web_installer_version";
}

void CheckStandalone(const ElementInfo& e, CCheckReport& report)
{
    if (IsStandaloneText(e.data))
        return;
    const std::wstring word = LowerAscii(Trimmed(e.data));
    if (word == L"true" || word == L"yes" || word == L"1" || word == L"on" || word == L"y")
        report.Warning(Where(e) + Quoted(e.data) +
                       L" looks meant as a standalone build, but only the bare word true (any "
                       L"letter case) makes one; the installer treats this as a web build");
    else if (!(word.empty() || word == L"false" || word == L"no" || word == L"0" ||
               word == L"off"))
        report.Warning(Where(e) + Quoted(e.data) +
                       L" is neither true nor false; the installer treats it as a web build");
    else if (HasBlanksAround(e.data))
        report.Warning(Where(e) + L"the value " + Quoted(e.data) +
                       L" has blanks or line breaks around it (a web build, as written)");
}

// Why a hash text is not 64 hexadecimal digits.
std::wstring HashFault(const std::wstring& text)
{
    if (HasBlanksAround(text))
        return L"blanks or line breaks around it";
    if (text.size() != 64)
        return Decimal(static_cast<long long>(text.size())) + L" characters";
    for (wchar_t c : text) {
        if (!IsHexDigit(c))
            return Quoted(std::wstring(1, c)) + L" is not a hexadecimal digit";
    }
    return std::wstring();
}

// A hash the installer reads: well-formed, and describing a file it downloads or, in a
// standalone build, a file shipped beside it (found without an address).
void CheckHash(const CDocumentMap& map, int index, bool standalone, CCheckReport& report)
{
    const ElementInfo& e = map.Elements()[index];
    Sha256Digest digest;
    if (e.data.empty()) {
        report.Warning(Where(e) + L"the hash is empty, so the file is not checked; fill it in "
                                  L"(ManifestCheck --fill-hashes) or leave the element out");
        return;
    }
    if (!ParseSha256Text(e.data, digest)) {
        report.Error(Where(e) + Quoted(e.data) + L" is not a SHA-256 hash of 64 hexadecimal "
                     L"digits (" + HashFault(e.data) + L"); no file matches it, so the installer "
                     L"fails this item rather than use it unchecked");
        return;
    }
    // A standalone build checks the file shipped beside the installer, address or not; but
    // without patch_url any build takes full_url and full_sha256, never patch_sha256.
    if (standalone && e.name != L"patch_sha256")
        return;
    const wchar_t* address = HashAddressOf(e.name);
    const int url = e.parent >= 0 ? map.FindChild(e.parent, address, true) : -1;
    if (url < 0 || map.Elements()[url].data.empty())
        report.Warning(Where(e) + L"`" + map.Elements()[e.parent].name + L"` has no " +
                       address + L" that the installer reads, so the installer never uses "
                       L"this hash");
}

void CheckOneValue(const ElementInfo& e, CCheckReport& report)
{
    if (e.name == L"standalone") {
        CheckStandalone(e, report);
        return;
    }
    if (e.data.empty())
        return;
    if (HasBlanksAround(e.data)) {
        report.Warning(Where(e) + L"the value " + Quoted(e.data) +
                       L" has blanks or line breaks around it; the installer takes it as "
                       L"written");
        return;
    }
    if (IsVersionElement(e.name) && !IsFourPartVersion(e.data)) {
        report.Warning(Where(e) + Quoted(e.data) +
                       L" is not four dot-separated numbers; the installer compares it as " +
                       VersionText(ParseVersion(e.data)));
    } else if (EndsWith(e.name, L"url") && !IsHttpAddress(e.data)) {
        report.Warning(Where(e) + Quoted(e.data) +
                       L" is not an http:// or https:// address; the installer fetches only "
                       L"over HTTP");
    } else if (e.name == L"lang_id" && !IsPlainLanguageId(e.data)) {
        report.Warning(Where(e) + Quoted(e.data) +
                       L" is not a language id in plain decimal; the installer reads it as " +
                       Decimal(WtoiLike(e.data)));
    } else if (e.name == L"product_code" && !IsBracedGuid(e.data)) {
        report.Warning(Where(e) + Quoted(e.data) +
                       L" is not a product code in braces ({XXXXXXXX-XXXX-XXXX-XXXX-"
                       L"XXXXXXXXXXXX}); Windows Installer will not know it");
    }
}

} // namespace

bool IsFourPartVersion(const std::wstring& text)
{
    int parts = 0;
    size_t i = 0;
    while (i < text.size()) {
        size_t digits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
        // Each number must fit the installer's int reading.
        if (digits == 0 || digits > 9)
            return false;
        ++parts;
        if (i == text.size())
            break;
        if (text[i] != L'.' || parts == 4)
            return false;
        ++i;
        if (i == text.size())
            return false;
    }
    return parts == 4;
}

bool IsHttpAddress(const std::wstring& text)
{
    const std::wstring lower = LowerAscii(text);
    if (StartsWith(lower, L"http://"))
        return lower.size() > 7;
    if (StartsWith(lower, L"https://"))
        return lower.size() > 8;
    return false;
}

bool IsPlainLanguageId(const std::wstring& text)
{
    if (text.empty() || text.size() > 5)
        return false;
    long value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + (c - L'0');
    }
    return value >= 1 && value <= 65535;
}

bool IsBracedGuid(const std::wstring& text)
{
    static const wchar_t kPattern[] = L"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    const size_t length = sizeof(kPattern) / sizeof(kPattern[0]) - 1;
    if (text.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (kPattern[i] == L'X' ? !IsHexDigit(text[i]) : text[i] != kPattern[i])
            return false;
    }
    return true;
}

bool HasBlanksAround(const std::wstring& text)
{
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

std::wstring Trimmed(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool IsHashElement(const std::wstring& name)
{
    return name == L"sha256" || name == L"full_sha256" || name == L"patch_sha256" ||
           name == L"web_installer_sha256";
}

const wchar_t* HashAddressOf(const std::wstring& hashName)
{
    if (hashName == L"patch_sha256")
        return L"patch_url";
    if (hashName == L"web_installer_sha256")
        return L"web_installer_download_url";
    return L"full_url";
}

std::wstring LowerAscii(const std::wstring& text)
{
    std::wstring lower = text;
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

std::vector<std::wstring> Placeholders(const std::wstring& text)
{
    std::vector<std::wstring> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%')
            continue;
        const size_t begin = i++;
        if (i < text.size() && text[i] == L'%') {
            found.push_back(L"%%");
            continue;
        }
        while (i < text.size() && (text[i] == L'-' || text[i] == L'0'))
            ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        if (i < text.size() && text[i] == L'.') {
            ++i;
            while (i < text.size() && IsDigit(text[i]))
                ++i;
        }
        while (i < text.size() && (text[i] == L'h' || text[i] == L'l' || text[i] == L'w'))
            ++i;
        if (i < text.size() && (text[i] == L's' || text[i] == L'S' || text[i] == L'd' ||
                                text[i] == L'i' || text[i] == L'u')) {
            found.push_back(text.substr(begin, i - begin + 1));
        } else {
            // Not a conversion: the '%' and the character after it are shown as written.
            i = begin + 1;
            found.push_back(text.substr(begin, i < text.size() ? 2 : 1));
        }
    }
    return found;
}

std::wstring DescribePlaceholders(const std::vector<std::wstring>& placeholders)
{
    if (placeholders.empty())
        return L"none";
    std::wstring text;
    for (const std::wstring& p : placeholders)
        text += (text.empty() ? L"" : L" ") + p;
    return text;
}

void CheckVisitedValues(const CDocumentMap& map, const ReadingOrders& orders,
                        CCheckReport& report)
{
    const std::vector<ElementInfo>& elements = map.Elements();
    const int flag = map.FindVisited(L"product", L"standalone");
    const bool standalone = flag >= 0 && IsStandaloneText(elements[flag].data);
    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementInfo& e = elements[i];
        if (!e.visited || e.children > 0)
            continue;
        // Containers hold elements, not a value.
        bool container = false;
        for (const ContainerOrder& order : orders)
            container = container || e.name == order.container;
        if (container)
            continue;
        if (IsHashElement(e.name))
            CheckHash(map, static_cast<int>(i), standalone, report);
        else
            CheckOneValue(e, report);
    }
}
