#include "config/StartDecision.h"

#include "config/TextNumber.h"

VersionNumbers ParseVersion(const std::wstring& text)
{
    // Callers hand over texts that came from C strings; anything after an
    // embedded null was never part of the version.
    const std::wstring::size_type end = text.find(L'\0');
    const wchar_t* p = text.data();
    const wchar_t* last = p + (end == std::wstring::npos ? text.size() : end);

    VersionNumbers v;
    if (last - p < 7)
        return v;

    unsigned pieces[4] = {};
    int count = 0;
    while (p != last) {
        while (p != last && *p == L'.')
            ++p;
        if (p == last)
            break;
        const wchar_t* start = p;
        while (p != last && *p != L'.')
            ++p;
        if (count == 4)
            return v; // a fifth piece: not a version
        pieces[count++] = static_cast<unsigned>(WtoiLike(start, p));
    }
    if (count != 4)
        return v;
    v.p1 = pieces[0];
    v.p2 = pieces[1];
    v.p3 = pieces[2];
    v.p4 = pieces[3];
    return v;
}

bool IsNewerVersion(const std::wstring& a, const std::wstring& b)
{
    const VersionNumbers va = ParseVersion(a);
    const VersionNumbers vb = ParseVersion(b);
    return va.p1 == vb.p1 && va.p2 >= vb.p2 && va.p4 > vb.p4;
}

bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::wstring::size_type i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'a' && x <= L'z')
            x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z')
            y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y)
            return false;
    }
    return true;
}

int GetStartDecision(const StartDecisionInput& in, NameEqualFn nameEqual)
{
    if (!nameEqual)
        nameEqual = EqualIgnoringAsciiCase;

    if (in.productInstalled) {
        if (in.installedVersion.empty() && in.installedProductName.empty())
            return StartInstalledUnknown;
        if (!nameEqual(in.installedProductName, in.fullName))
            return StartOtherProduct;
        if (!IsNewerVersion(in.standaloneVersion, in.installedVersion))
            return StartAlreadyInstalled;
        if (in.standalone)
            return StartGoOn;
        return IsNewerVersion(in.patchMinWebInstallerVersion, in.webInstallerVersion)
                   ? StartInstallerTooOld
                   : StartGoOn;
    }
    if (in.standalone)
        return StartGoOn;
    return IsNewerVersion(in.freshMinWebInstallerVersion, in.webInstallerVersion)
               ? StartInstallerTooOld
               : StartGoOn;
}

const wchar_t* StartDecisionMeaning(int decision)
{
    switch (decision) {
    case StartGoOn: return L"go on with the installation";
    case StartAlreadyInstalled: return L"the product is installed in the offered version already";
    case StartInstallerTooOld: return L"this installer is older than the server requires";
    case StartInstalledUnknown:
        return L"the product counts as installed, but its version and name are unknown";
    case 4: return L"the server's version document could not be fetched or read";
    case StartOtherProduct: return L"another product is installed under this product code";
    default: return L"unknown decision";
    }
}
