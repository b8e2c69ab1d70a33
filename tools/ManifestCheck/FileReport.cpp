#include "FileReport.h"

#include "xml/XmlEncoding.h"

namespace {

// The first number of attribute `name="..."` in one log event; -1 when absent.
long long NumberAttribute(const std::wstring& event, const wchar_t* name)
{
    const std::wstring key = std::wstring(L" ") + name + L"=\"";
    const size_t at = event.find(key);
    if (at == std::wstring::npos)
        return -1;
    long long value = 0;
    bool any = false;
    for (size_t i = at + key.size(); i < event.size() && event[i] >= L'0' && event[i] <= L'9';
         ++i) {
        if (value < 1000000000000LL)
            value = value * 10 + (event[i] - L'0');
        any = true;
    }
    return any ? value : -1;
}

unsigned CodePageOf(const std::wstring& encoding)
{
    if (encoding.compare(0, 6, L"UTF-32") == 0)
        return kCodePageUtf32LE;
    return CodePageFromEncodingName(encoding);
}

} // namespace

void ReportResultLog(const CDocumentMap& map, CCheckReport& report)
{
    // Events are empty elements "<name attr="..."/>" back to back.
    const std::wstring& log = map.ResultLog();
    size_t pos = 0;
    while (pos < log.size()) {
        const size_t begin = log.find(L'<', pos);
        if (begin == std::wstring::npos)
            break;
        size_t end = log.find(L"/>", begin);
        end = end == std::wstring::npos ? log.size() : end;
        std::wstring event = log.substr(begin + 1, end - begin - 1);
        const long long offset = NumberAttribute(event, L"offset");
        if (offset >= 0)
            event += L" (line " + Decimal(map.LineOf(offset)) + L")";
        report.Line(L"reader: " + event);
        pos = end + 2;
    }
}

bool ReportDocumentFile(const CDocumentMap& map, CCheckReport& report)
{
    if (!map.FileRead()) {
        report.Error(L"the file cannot be read; the installer cannot use it");
        ReportResultLog(map, report);
        return false;
    }
    const std::wstring& encoding = map.Encoding();
    if (encoding.empty()) {
        report.Line(L"encoding: the system's ANSI code page");
        report.Warning(L"the file has no byte-order mark, declares no encoding and is not "
                       L"UTF-8, so it is read in the ANSI code page of each user's system");
    } else {
        const unsigned codePage = CodePageOf(encoding);
        report.Line(L"encoding: " + encoding + L" (code page " +
                    (codePage == kCodePageDefault ? std::wstring(L"of the system")
                                                  : Decimal(codePage)) +
                    L")");
        if (codePage == kCodePageDefault)
            report.Warning(L"the declared encoding " + Quoted(encoding) +
                           L" is not one the installer knows; it reads the file in the ANSI "
                           L"code page of each user's system instead");
    }
    if (!map.WellFormed()) {
        report.Error(L"not a well-formed XML document; the installer reads nothing from it");
        ReportResultLog(map, report);
        return false;
    }
    report.Line(L"elements: " + Decimal(static_cast<long long>(map.Elements().size())));
    return true;
}

bool ReportRoot(const CDocumentMap& map, CCheckReport& report)
{
    const std::vector<ElementInfo>& elements = map.Elements();
    if (!elements.empty() && elements[0].visited)
        return true;
    const std::wstring root = elements.empty() ? std::wstring() : elements[0].name;
    report.Error(L"the root element is `" + root + L"`, not `pelwebinstaller`; the installer "
                 L"reads nothing from this document");
    return false;
}
