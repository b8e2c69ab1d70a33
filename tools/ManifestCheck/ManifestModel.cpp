#include "ManifestModel.h"

#include "config/FileNameRules.h"
#include "config/UIStringTable.h"

#include <set>

namespace {

std::wstring Field(const wchar_t* name, const std::wstring& value)
{
    return std::wstring(name) + L": " + Quoted(value);
}

std::wstring Release(const ReleaseInfo& release)
{
    return L"product_version " + Quoted(release.productVersion) +
           L", min_web_installer_version " + Quoted(release.minWebInstallerVersion) +
           L", web_installer_download_url " + Quoted(release.webInstallerDownloadUrl) +
           L", web_installer_sha256 " + Quoted(release.webInstallerSha256);
}

// The reader's own line about a hash that is not 64 hexadecimal digits ("transform/sha256
// \"...\" is not ..."): the value checks report each such hash as an error with its line.
bool IsHashProblem(const std::wstring& problem)
{
    for (const wchar_t* prefix :
         {L"main_component/full_sha256 \"", L"main_component/patch_sha256 \"",
          L"transform/sha256 \"", L"language_pack/sha256 \"", L"dependency/sha256 \""}) {
        if (problem.compare(0, std::wstring(prefix).size(), prefix) == 0)
            return true;
    }
    return false;
}

bool EndsWithMsi(const std::wstring& name)
{
    if (name.size() < 4)
        return false;
    std::wstring tail = name.substr(name.size() - 4);
    for (wchar_t& c : tail) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return tail == L".msi";
}

// Lines of the containers the reader kept (found with their key child), in document order:
// the model's transforms and language packs are exactly these, one for one.
std::vector<int> KeptLines(const CDocumentMap& map, const wchar_t* name, const wchar_t* key)
{
    std::vector<int> lines;
    const std::vector<ElementInfo>& elements = map.Elements();
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].visited && elements[i].name == name &&
            map.FindChild(static_cast<int>(i), key, true) >= 0)
            lines.push_back(elements[i].line);
    }
    return lines;
}

int LineAt(const std::vector<int>& lines, size_t i)
{
    return i < lines.size() ? lines[i] : 0;
}

void CheckRequired(const ManifestInfo& info, CCheckReport& report)
{
    const wchar_t* refused = L"; the installer refuses the manifest";
    if (info.pid.empty())
        report.Error(std::wstring(L"product/pid is empty or missing") + refused);
    if (info.registry.empty())
        report.Error(std::wstring(L"product/registry is empty or missing") + refused);
    if (info.mainComponent.fullUrl.empty())
        report.Error(std::wstring(L"product/main_component/full_url is empty or missing") +
                     refused);
    if (info.mainComponent.name.empty())
        report.Error(std::wstring(L"product/main_component/name is empty or missing") + refused);
    else if (!IsSafeFileName(info.mainComponent.name))
        report.Error(L"product/main_component/name " + Quoted(info.mainComponent.name) +
                     L" is not a plain file name" + refused);
    else if (!EndsWithMsi(info.mainComponent.name))
        report.Warning(L"product/main_component/name " + Quoted(info.mainComponent.name) +
                       L" does not end in .msi; the main package is installed through Windows "
                       L"Installer only under such a name");
}

void CheckNeeded(const ManifestInfo& info, const CDocumentMap& map, CCheckReport& report)
{
    if (info.productCode.empty())
        report.Warning(L"product_code is empty or missing; the installer cannot tell whether "
                       L"the product is installed");
    if (info.fullName.empty())
        report.Warning(L"product/full_name is empty or missing; messages show no product name");
    else if (!IsSafeFileName(info.fullName + L".exe"))
        report.Warning(L"product/full_name " + Quoted(info.fullName) +
                       L" cannot name a downloaded newer installer (full_name.exe)");
    if (info.shortName.empty())
        report.Warning(L"product/short_name is empty or missing; captions and messages show "
                       L"no product name");
    // An executable the reader refused is reported with the reader's problems.
    const int executable = map.FindVisited(L"main_component", L"executable");
    if (info.executable.empty() && (executable < 0 || map.Elements()[executable].data.empty()))
        report.Warning(L"product/main_component/executable is empty or missing; the product "
                       L"cannot be registered or started after installation");
    if (info.standalone) {
        if (info.standaloneVersion.empty())
            report.Warning(L"product/standalone_version is empty or missing in a standalone "
                           L"build; the installed version is compared with 0.0.0.0");
        return;
    }
    if (info.webInstallerVersion.empty())
        report.Warning(L"web_installer_version is empty or missing in a web build; the "
                       L"installer compares itself with the server as 0.0.0.0");
    if (info.versionCheckUrl.empty())
        report.Warning(L"product/version_check_url is empty or missing in a web build; the "
                       L"installer cannot reach the server's version document");
}

void CheckLanguages(const ManifestInfo& info, const CDocumentMap& map, CCheckReport& report)
{
    const std::vector<int> transformLines = KeptLines(map, L"transform", L"lang_id");
    const std::vector<int> packLines = KeptLines(map, L"language_pack", L"lang_id");
    std::set<int> transformIds;
    for (size_t i = 0; i < info.transforms.size(); ++i) {
        const TransformInfo& t = info.transforms[i];
        const std::wstring where = AtLine(LineAt(transformLines, i)) + L"transform " +
                                   Decimal(t.langId);
        if (!transformIds.insert(t.langId).second)
            report.Warning(where + L" repeats a language id; only the first transform of a "
                                   L"language is used");
        if (t.fullUrl.empty())
            report.Warning(where + L" has no full_url; the language cannot be installed");
    }
    std::set<int> packIds;
    for (size_t i = 0; i < info.languagePacks.size(); ++i) {
        const LanguagePackInfo& p = info.languagePacks[i];
        const std::wstring where = AtLine(LineAt(packLines, i)) + L"language pack " +
                                   Decimal(p.langId);
        if (!packIds.insert(p.langId).second)
            report.Warning(where + L" repeats a language id; the language list shows it twice "
                                   L"and only the first pack is installed");
        if (p.fullUrl.empty())
            report.Warning(where + L" has no full_url; the language cannot be installed");
        if (p.langId != kDefaultLanguageId && transformIds.count(p.langId) == 0)
            report.Warning(where + L" has no transform with lang_id " + Decimal(p.langId) +
                           L"; a user who chooses this language gets the language pack but the "
                           L"main package without its translation");
    }
    for (size_t i = 0; i < info.transforms.size(); ++i) {
        const int id = info.transforms[i].langId;
        if (packIds.count(id) == 0 && id != kDefaultLanguageId)
            report.Note(AtLine(LineAt(transformLines, i)) + L"transform " + Decimal(id) +
                        L" has no language pack, so the language list never offers it");
    }
}

void CheckDependencies(const ManifestInfo& info, CCheckReport& report)
{
    if (info.standalone)
        return;
    for (const DependencyInfo& d : info.dependencies) {
        if (d.fullUrl.empty())
            report.Warning(L"dependency " + Quoted(d.name) +
                           L" has no full_url; a web build cannot download it");
    }
}

} // namespace

void PrintManifestValues(const ManifestInfo& info, CCheckReport& report)
{
    report.Line(Field(L"web_installer_version", info.webInstallerVersion));
    report.Line(Field(L"product_code", info.productCode));
    report.Line(Field(L"pid", info.pid));
    report.Line(Field(L"full_name", info.fullName));
    report.Line(Field(L"short_name", info.shortName));
    report.Line(Field(L"registry", info.registry));
    report.Line(L"standalone: " + Decimal(info.standalone) +
                (info.standalone ? L" (standalone build)" : L" (web build)"));
    report.Line(Field(L"standalone_version", info.standaloneVersion));
    report.Line(Field(L"version_check_url", info.versionCheckUrl));
    report.Line(Field(L"server product code", info.serverProductCode) +
                L" (from the version document)");
    report.Line(L"fresh install: " + Release(info.freshInstall) + L" (from the version document)");
    report.Line(L"patch install: " + Release(info.patchInstall) + L" (from the version document)");
    report.Line(L"main component: name " + Quoted(info.mainComponent.name) + L", full_url " +
                Quoted(info.mainComponent.fullUrl) + L", patch_url " +
                Quoted(info.mainComponent.patchUrl) + L", full_sha256 " +
                Quoted(info.mainComponent.fullSha256) + L", patch_sha256 " +
                Quoted(info.mainComponent.patchSha256));
    report.Line(L"language packs: " + Decimal(static_cast<long long>(info.languagePacks.size())));
    for (const LanguagePackInfo& p : info.languagePacks)
        report.Line(L"  lang_id " + Decimal(p.langId) + L", pid " + Quoted(p.pid) + L", name " +
                    Quoted(p.name) + L", full_url " + Quoted(p.fullUrl) + L", sha256 " +
                    Quoted(p.sha256));
    report.Line(L"dependencies: " + Decimal(static_cast<long long>(info.dependencies.size())));
    for (const DependencyInfo& d : info.dependencies)
        report.Line(L"  name " + Quoted(d.name) + L", full_url " + Quoted(d.fullUrl) +
                    L", install_commandline " + Quoted(d.installCommandLine) + L", sha256 " +
                    Quoted(d.sha256));
    report.Line(L"transforms: " + Decimal(static_cast<long long>(info.transforms.size())));
    for (const TransformInfo& t : info.transforms)
        report.Line(L"  lang_id " + Decimal(t.langId) + L", name " + Quoted(t.name) +
                    L", full_url " + Quoted(t.fullUrl) + L", sha256 " + Quoted(t.sha256));
    report.Line(Field(L"executable", info.executable));
}

void CheckManifestModel(const ManifestInfo& info, const std::vector<std::wstring>& readerProblems,
                        const CDocumentMap& map, CCheckReport& report)
{
    CheckRequired(info, report);
    for (const std::wstring& problem : readerProblems) {
        if (!IsHashProblem(problem))
            report.Warning(problem);
    }
    CheckNeeded(info, map, report);
    CheckLanguages(info, map, report);
    CheckDependencies(info, report);
}
