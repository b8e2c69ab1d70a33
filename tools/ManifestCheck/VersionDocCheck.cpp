#include "VersionDocCheck.h"

#include "FileReport.h"
#include "ReadingOrder.h"
#include "ValueChecks.h"

#include "config/DocumentMap.h"
#include "config/StartDecision.h"
#include "xml/XmlTextFile.h"

namespace {

void PrintRelease(const wchar_t* name, const ReleaseInfo& release, CCheckReport& report)
{
    report.Line(std::wstring(name) + L": product_version " + Quoted(release.productVersion) +
                L", min_web_installer_version " + Quoted(release.minWebInstallerVersion) +
                L", web_installer_download_url " + Quoted(release.webInstallerDownloadUrl) +
                L", web_installer_sha256 " + Quoted(release.webInstallerSha256));
}

void ReportStartDecision(const CInstallConfig& config, CCheckReport& report)
{
    const ManifestInfo& info = config.m_manifest;
    const int decision = config.GetStartDecision();
    std::wstring meaning;
    switch (decision) {
    case StartGoOn:
        meaning = info.standalone ? L"go on (a standalone build does not ask the server)"
                                  : L"go on: this installer (" +
                                        Quoted(info.webInstallerVersion) +
                                        L") is not older than the server's minimum (" +
                                        Quoted(info.freshInstall.minWebInstallerVersion) + L")";
        break;
    case StartInstallerTooOld:
        meaning = L"this installer (" + Quoted(info.webInstallerVersion) +
                  L") is older than the server's minimum (" +
                  Quoted(info.freshInstall.minWebInstallerVersion) +
                  L"); it downloads the current installer from " +
                  Quoted(info.freshInstall.webInstallerDownloadUrl) + L" and starts it at exit";
        break;
    default:
        meaning = L"unexpected for a machine without the product";
        break;
    }
    report.Line(L"start decision on a machine without the product: " + Decimal(decision) +
                L", " + meaning);
    if (decision == StartInstallerTooOld && info.freshInstall.webInstallerDownloadUrl.empty())
        report.Warning(L"fresh_install/web_installer_download_url is empty, so the newer "
                       L"installer cannot be downloaded");
}

} // namespace

void CheckVersionDocument(CInstallConfig& config, const std::wstring& path, CCheckReport& report)
{
    report.Line(L"file: " + path);
    CDocumentMap map;
    map.LoadRead(ReadTextFile(path));
    if (!ReportDocumentFile(map, report))
        return;

    const std::wstring manifestVersion = config.m_manifest.standaloneVersion;
    bool read = false;
    {
        CVisitRecorder visits;
        read = config.ReadVersionDocument(path);
        map.MarkVisited(visits.Starts());
    }
    if (!read) {
        report.Error(L"the installer could not read the version document");
        return;
    }
    if (!ReportRoot(map, report))
        return;

    const ManifestInfo& info = config.m_manifest;
    report.Line(L"product_code: " + Quoted(info.serverProductCode));
    PrintRelease(L"fresh install", info.freshInstall, report);
    PrintRelease(L"patch install", info.patchInstall, report);
    if (info.standaloneVersion != manifestVersion)
        report.Line(L"standalone_version: " + Quoted(info.standaloneVersion) +
                    L" (the patch install's product version replaces the manifest's " +
                    Quoted(manifestVersion) + L")");
    else
        report.Line(L"standalone_version: " + Quoted(info.standaloneVersion) + L" (unchanged)");

    ReportSkippedElements(map, VersionDocumentReadingOrders(), report);
    CheckVisitedValues(map, VersionDocumentReadingOrders(), report);
    if (map.FindVisited(L"pelwebinstaller", L"fresh_install") < 0)
        report.Warning(L"no fresh_install is read; a machine without the product never learns "
                       L"the server's minimum installer version");
    if (map.FindVisited(L"pelwebinstaller", L"patch_install") < 0)
        report.Note(L"no patch_install is read; an installed product is compared with the "
                    L"manifest's standalone_version");
    if (info.standalone)
        report.Note(L"the manifest is a standalone build, which never fetches this document");
    ReportStartDecision(config, report);
}
