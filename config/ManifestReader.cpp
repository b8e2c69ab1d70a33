#include "config/ManifestReader.h"

#include "config/FileNameRules.h"
#include "config/Sha256Text.h"
#include "config/TextNumber.h"
#include "xml/XmlDocument.h"

namespace {

// Finds the next child called name, steps into it, takes its data and steps out again, so
// that the child position stays on it and the next child search continues after it.
bool ReadChild(CXmlDocument& doc, const wchar_t* name, std::wstring& value)
{
    if (!doc.FindChildElement(name))
        return false;
    doc.EnterElement();
    value = doc.GetElementData();
    doc.LeaveElement();
    return true;
}

// Finds the next sibling called name and takes its data; the cursor stays on it.
bool ReadSibling(CXmlDocument& doc, const wchar_t* name, std::wstring& value)
{
    if (!doc.FindElement(name))
        return false;
    value = doc.GetElementData();
    return true;
}

void Report(std::vector<std::wstring>* problems, const std::wstring& text)
{
    if (problems)
        problems->push_back(text);
}

// Reads a payload's hash, the last child of its container. A hash that is not
// 64 hexadecimal digits (and not empty) is kept as written: no file matches it, so the item
// fails its check instead of being installed unverified.
void ReadHash(CXmlDocument& doc, const wchar_t* name, const std::wstring& item, std::wstring& value,
              std::vector<std::wstring>* problems)
{
    // An empty element gives no hash, as if it were left out.
    if (!ReadSibling(doc, name, value) || value.empty())
        return;
    Sha256Digest digest;
    if (!ParseSha256Text(value, digest))
        Report(problems, item + L"/" + name + L" \"" + value +
                             L"\" is not 64 hexadecimal digits; the file cannot be verified and is not installed");
}

// At the main_component element, which has a name child.
void ReadMainComponent(CXmlDocument& doc, ManifestInfo& info, std::vector<std::wstring>* problems)
{
    doc.EnterElement();
    info.mainComponent.name = doc.GetElementData();
    std::wstring executable;
    if (ReadSibling(doc, L"executable", executable)) {
        if (executable.empty() || IsSafeRelativePath(executable))
            info.executable = executable;
        else
            Report(problems, L"main_component/executable \"" + executable +
                                 L"\" is not a path inside the install folder; it is not used");
    }
    ReadSibling(doc, L"full_url", info.mainComponent.fullUrl);
    ReadSibling(doc, L"patch_url", info.mainComponent.patchUrl);
    while (doc.FindElement(L"transform")) {
        if (!doc.FindChildElement(L"lang_id"))
            continue;
        doc.EnterElement();
        TransformInfo transform;
        transform.langId = WtoiLike(doc.GetElementData());
        ReadSibling(doc, L"name", transform.name);
        ReadSibling(doc, L"full_url", transform.fullUrl);
        ReadHash(doc, L"sha256", L"transform", transform.sha256, problems);
        doc.LeaveElement();
        info.transforms.push_back(transform);
    }
    // The hashes follow the transforms, so that no existing element is read
    // differently, whatever a manifest writer does with them.
    ReadHash(doc, L"full_sha256", L"main_component", info.mainComponent.fullSha256, problems);
    ReadHash(doc, L"patch_sha256", L"main_component", info.mainComponent.patchSha256, problems);
    doc.LeaveElement();
}

void ReadLanguagePacks(CXmlDocument& doc, ManifestInfo& info, std::vector<std::wstring>* problems)
{
    while (doc.FindElement(L"language_pack")) {
        if (!doc.FindChildElement(L"lang_id"))
            continue;
        doc.EnterElement();
        LanguagePackInfo pack;
        pack.langId = WtoiLike(doc.GetElementData());
        ReadSibling(doc, L"pid", pack.pid);
        ReadSibling(doc, L"name", pack.name);
        ReadSibling(doc, L"full_url", pack.fullUrl);
        ReadHash(doc, L"sha256", L"language_pack", pack.sha256, problems);
        doc.LeaveElement();
        info.languagePacks.push_back(pack);
    }
}

void ReadDependencies(CXmlDocument& doc, ManifestInfo& info, std::vector<std::wstring>* problems)
{
    while (doc.FindElement(L"dependency")) {
        if (!doc.FindChildElement(L"name"))
            continue;
        doc.EnterElement();
        DependencyInfo dependency;
        dependency.name = doc.GetElementData();
        ReadSibling(doc, L"full_url", dependency.fullUrl);
        ReadSibling(doc, L"install_commandline", dependency.installCommandLine);
        ReadHash(doc, L"sha256", L"dependency", dependency.sha256, problems);
        doc.LeaveElement();
        // Its setup program is stored under this name and run elevated.
        if (IsSafeFileName(dependency.name))
            info.dependencies.push_back(dependency);
        else
            Report(problems, L"dependency \"" + dependency.name +
                                 L"\" is not a plain file name; it is left out");
    }
}

} // namespace

bool IsStandaloneText(const std::wstring& text)
{
    static const wchar_t kTrue[] = L"true";
    if (text.size() != 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kTrue[i])
            return false;
    }
    return true;
}

void ReadManifestDocument(CXmlDocument& doc, ManifestInfo& info,
                          std::vector<std::wstring>* problems)
{
    if (!doc.FindElement(L"pelwebinstaller"))
        return;
    ReadChild(doc, L"web_installer_version", info.webInstallerVersion);
    ReadChild(doc, L"product_code", info.productCode);
    if (!doc.FindChildElement(L"product"))
        return;
    doc.EnterElement();

    ReadChild(doc, L"pid", info.pid);
    ReadChild(doc, L"full_name", info.fullName);
    ReadChild(doc, L"short_name", info.shortName);
    ReadChild(doc, L"registry", info.registry);
    std::wstring standalone;
    if (ReadChild(doc, L"standalone", standalone))
        info.standalone = IsStandaloneText(standalone) ? 1 : 0;
    ReadChild(doc, L"standalone_version", info.standaloneVersion);
    ReadChild(doc, L"version_check_url", info.versionCheckUrl);
    // From here on the lookups are sibling searches after the last scalar value found (or
    // from the first child of product when none was).
    doc.EnterElement();

    if (doc.FindElement(L"main_component") && doc.FindChildElement(L"name"))
        ReadMainComponent(doc, info, problems);
    ReadLanguagePacks(doc, info, problems);
    ReadDependencies(doc, info, problems);
}
