#include "config/ModelLogText.h"

namespace {

std::wstring Value(const wchar_t* name, const std::wstring& value)
{
    return std::wstring(name) + L" = " + LogQuoted(value);
}

std::wstring Count(size_t n, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

void AddRelease(std::vector<std::wstring>& lines, const wchar_t* release, const ReleaseInfo& r)
{
    const std::wstring prefix = L"Version document: " + std::wstring(release) + L"/";
    lines.push_back(prefix + Value(L"product_version", r.productVersion));
    lines.push_back(prefix + Value(L"min_web_installer_version", r.minWebInstallerVersion));
    lines.push_back(prefix + Value(L"web_installer_download_url", r.webInstallerDownloadUrl));
    lines.push_back(prefix + Value(L"web_installer_sha256", r.webInstallerSha256));
}

} // namespace

std::wstring LogQuoted(const std::wstring& value)
{
    return L"\"" + value + L"\"";
}

std::vector<std::wstring> ManifestValueLines(const ManifestInfo& info)
{
    const std::wstring m = L"Manifest: ";
    const std::wstring main = m + L"main_component/";
    std::vector<std::wstring> lines = {
        m + Value(L"web_installer_version", info.webInstallerVersion),
        m + Value(L"product_code", info.productCode),
        m + Value(L"pid", info.pid),
        m + Value(L"full_name", info.fullName),
        m + Value(L"short_name", info.shortName),
        m + Value(L"registry", info.registry),
        m + L"standalone = " + std::to_wstring(info.standalone) +
            (info.standalone ? L" (standalone build)" : L" (web build)"),
        m + Value(L"standalone_version", info.standaloneVersion),
        m + Value(L"version_check_url", info.versionCheckUrl),
        main + Value(L"name", info.mainComponent.name),
        main + Value(L"executable", info.executable),
        main + Value(L"full_url", info.mainComponent.fullUrl),
        main + Value(L"patch_url", info.mainComponent.patchUrl),
        main + Value(L"full_sha256", info.mainComponent.fullSha256),
        main + Value(L"patch_sha256", info.mainComponent.patchSha256),
    };
    for (const TransformInfo& t : info.transforms)
        lines.push_back(m + L"transform " + std::to_wstring(t.langId) + L": name " +
                        LogQuoted(t.name) + L", full_url " + LogQuoted(t.fullUrl) +
                        L", sha256 " + LogQuoted(t.sha256));
    for (const LanguagePackInfo& p : info.languagePacks)
        lines.push_back(m + L"language_pack " + std::to_wstring(p.langId) + L": pid " +
                        LogQuoted(p.pid) + L", name " + LogQuoted(p.name) + L", full_url " +
                        LogQuoted(p.fullUrl) + L", sha256 " + LogQuoted(p.sha256));
    for (const DependencyInfo& d : info.dependencies)
        lines.push_back(m + L"dependency " + LogQuoted(d.name) + L": full_url " +
                        LogQuoted(d.fullUrl) + L", install_commandline " +
                        LogQuoted(d.installCommandLine) + L", sha256 " + LogQuoted(d.sha256));
    lines.push_back(m + Count(info.transforms.size(), L"transform", L"transforms") + L", " +
                    Count(info.languagePacks.size(), L"language pack", L"language packs") +
                    L", " + Count(info.dependencies.size(), L"dependency", L"dependencies"));
    return lines;
}

std::vector<std::wstring> VersionDocumentValueLines(const ManifestInfo& info)
{
    std::vector<std::wstring> lines = {
        L"Version document: " + Value(L"product_code", info.serverProductCode)};
    AddRelease(lines, L"fresh_install", info.freshInstall);
    AddRelease(lines, L"patch_install", info.patchInstall);
    lines.push_back(L"Version document: the installed version is compared with " +
                    LogQuoted(info.standaloneVersion));
    return lines;
}

std::wstring LanguageListText(const std::vector<LanguageEntry>& languages)
{
    std::wstring text;
    for (const LanguageEntry& entry : languages) {
        if (!text.empty())
            text += L", ";
        text += std::to_wstring(entry.langId) + L" " + entry.displayName;
    }
    return text.empty() ? L"none" : text;
}
