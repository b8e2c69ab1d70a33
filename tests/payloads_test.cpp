// The demo product as the build makes it: the download site's layout against the sample
// manifest, the Windows Installer packages and language transforms, and real installations
// of them through the system's msi.dll (under Wine in the test runs).
#include "config/InstallConfig.h"
#include "config/ProductInfo.h"
#include "engine/MsiService.h"
#include "framework/Handles.h"

#include "PayloadTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include <string>
#include <vector>

using payload_test::PayloadPath;
using payload_test::SitePath;
using testing_support::TempFolder;
using testing_support::WindowsInstallerTestLock;

namespace {

const std::wstring kFullPackage = L"msi\\varo_pro_70.msi";
const std::wstring kPatchPackage = L"msi\\varo_pro_70_patch.msi";

ManifestInfo SampleManifest()
{
    CInstallConfig config;
    ManifestInfo info;
    EXPECT_TRUE(config.ReadManifest(payload_test::SampleManifestPath(), info));
    return info;
}

// The site file an URL of the sample manifest names ("http://127.0.0.1:8470/msi/a.msi").
std::wstring SiteFileOf(const std::wstring& url)
{
    const size_t host = url.find(L"://");
    const size_t path = host == std::wstring::npos ? host : url.find(L'/', host + 3);
    if (path == std::wstring::npos)
        return std::wstring();
    std::wstring relative = url.substr(path + 1);
    for (wchar_t& c : relative) {
        if (c == L'/')
            c = L'\\';
    }
    return SitePath(relative);
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One value of a package's table, read with the service's own query engine.
std::wstring QueryValue(MSIHANDLE database, const std::wstring& sql)
{
    CMsiHandle view, record;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.Receive()) != ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS ||
        MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS)
        return L"<none>";
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (MsiRecordGetStringW(record.Get(), 1, buffer.data(), &chars) != ERROR_SUCCESS)
        return L"<unreadable>";
    return std::wstring(buffer.data(), chars);
}

std::wstring Property(MSIHANDLE database, const std::wstring& name)
{
    return QueryValue(database,
                      L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'");
}

std::wstring PackageProperty(const std::wstring& package, const std::wstring& name)
{
    CMsiHandle database;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.Receive()) !=
        ERROR_SUCCESS)
        return L"<no package>";
    return Property(database.Get(), name);
}

std::wstring SummaryText(const std::wstring& path, UINT id)
{
    CMsiHandle summary;
    if (MsiGetSummaryInformationW(0, path.c_str(), 0, summary.Receive()) != ERROR_SUCCESS)
        return L"<no summary>";
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    wchar_t buffer[512] = {};
    DWORD chars = 512;
    if (MsiSummaryInfoGetPropertyW(summary.Get(), id, &type, &number, &time, buffer, &chars) !=
        ERROR_SUCCESS)
        return L"<unreadable>";
    return type == VT_LPSTR ? std::wstring(buffer, chars) : std::to_wstring(number);
}

// Names of the streams at the top of a structured-storage file.
std::vector<std::wstring> StreamNames(const std::wstring& path, CLSID* storageClass)
{
    std::vector<std::wstring> names;
    ComPtr<IStorage> storage;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                              0, storage.Receive())))
        return names;
    STATSTG stat = {};
    if (storageClass && SUCCEEDED(storage->Stat(&stat, STATFLAG_NONAME)))
        *storageClass = stat.clsid;
    ComPtr<IEnumSTATSTG> entries;
    if (FAILED(storage->EnumElements(0, nullptr, 0, entries.Receive())))
        return names;
    while (entries->Next(1, &stat, nullptr) == S_OK) {
        if (stat.type == STGTY_STREAM)
            names.push_back(stat.pwcsName);
        CoTaskMemFree(stat.pwcsName);
    }
    return names;
}

// What the external UI handler saw during one installation.
struct InstallLog
{
    std::vector<std::wstring> info;
    int progress = 0;

    bool Saw(const std::wstring& line) const
    {
        for (const std::wstring& text : info) {
            if (text.find(line) != std::wstring::npos)
                return true;
        }
        return false;
    }
};

int WINAPI LoggingHandler(LPVOID context, UINT messageType, LPCWSTR text)
{
    InstallLog* log = static_cast<InstallLog*>(context);
    const UINT type = messageType & 0xFF000000;
    if (type == INSTALLMESSAGE_PROGRESS)
        ++log->progress;
    if (type == INSTALLMESSAGE_INFO && text)
        log->info.push_back(text);
    return type == INSTALLMESSAGE_PROGRESS || type == INSTALLMESSAGE_INFO ? IDOK : 0;
}

UINT Install(const std::wstring& package, const std::wstring& commandLine, InstallLog& log)
{
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(LoggingHandler, &log);
    const UINT result = MsiService::InstallProduct(package, commandLine);
    MsiSetExternalUIW(nullptr, 0, nullptr);
    return result;
}

std::wstring InstalledAttribute(const std::wstring& productCode, const wchar_t* attribute)
{
    std::wstring value;
    const UINT result = QueryProductInfo(productCode, attribute, value);
    return result == ERROR_SUCCESS ? value : L"<error " + std::to_wstring(result) + L">";
}

// Removes the demo product when a test ends, whatever the test's checks said.
class ProductRemover
{
public:
    explicit ProductRemover(std::wstring productCode) : m_code(std::move(productCode)) {}
    ~ProductRemover()
    {
        std::wstring version;
        if (QueryProductInfo(m_code, INSTALLPROPERTY_VERSIONSTRING, version) !=
            ERROR_UNKNOWN_PRODUCT) {
            MsiService::SetQuietInternalUi();
            MsiConfigureProductW(m_code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
        }
    }
    ProductRemover(const ProductRemover&) = delete;
    ProductRemover& operator=(const ProductRemover&) = delete;

private:
    std::wstring m_code;
};

} // namespace

TEST(DemoSite, EveryUrlOfTheSampleManifestNamesASiteFile)
{
    const ManifestInfo manifest = SampleManifest();
    std::vector<std::wstring> urls = {manifest.versionCheckUrl, manifest.mainComponent.fullUrl,
                                      manifest.mainComponent.patchUrl};
    for (const TransformInfo& transform : manifest.transforms)
        urls.push_back(transform.fullUrl);
    for (const LanguagePackInfo& pack : manifest.languagePacks)
        urls.push_back(pack.fullUrl);
    for (const DependencyInfo& dependency : manifest.dependencies)
        urls.push_back(dependency.fullUrl);
    EXPECT_EQ(urls.size(), 9u);
    for (const std::wstring& url : urls)
        EXPECT_TRUE(IsFile(SiteFileOf(url))) << std::string(url.begin(), url.end());
}

TEST(DemoSite, EveryLanguagePackHasATransform)
{
    // The installer applies a transform for every language other than English; a missing
    // one fails the installation on Windows.
    const ManifestInfo manifest = SampleManifest();
    ASSERT_FALSE(manifest.languagePacks.empty());
    for (const LanguagePackInfo& pack : manifest.languagePacks) {
        bool found = false;
        for (const TransformInfo& transform : manifest.transforms)
            found = found || transform.langId == pack.langId;
        EXPECT_TRUE(found) << pack.langId;
    }
}

TEST(DemoSite, VersionDocumentOffersBothReleasesAndTheInstaller)
{
    CInstallConfig config;
    ASSERT_TRUE(config.ReadVersionDocument(SitePath(L"version.xml")));
    const ManifestInfo& info = config.m_manifest;
    EXPECT_EQ(info.serverProductCode, SampleManifest().productCode);
    EXPECT_EQ(info.freshInstall.productVersion,
              PackageProperty(SitePath(kFullPackage), L"ProductVersion"));
    EXPECT_EQ(info.patchInstall.productVersion,
              PackageProperty(SitePath(kPatchPackage), L"ProductVersion"));
    // The sample installer (its manifest's version) is recent enough for both offers.
    const std::wstring own = SampleManifest().webInstallerVersion;
    EXPECT_EQ(info.freshInstall.minWebInstallerVersion, own);
    EXPECT_EQ(info.patchInstall.minWebInstallerVersion, own);
    EXPECT_EQ(info.freshInstall.webInstallerDownloadUrl, info.patchInstall.webInstallerDownloadUrl);
    EXPECT_TRUE(IsFile(SiteFileOf(info.freshInstall.webInstallerDownloadUrl)));
}

namespace {

// The start decision of the sample installer over a version document of the demo site, for
// a machine without the product (empty version) or with the given version installed.
int StartDecisionOver(const std::wstring& versionDocument, const std::wstring& installedVersion)
{
    CInstallConfig config;
    EXPECT_TRUE(config.ReadManifest(payload_test::SampleManifestPath(), config.m_manifest));
    int installed = installedVersion.empty() ? 0 : 1;
    config.BindProductInstalledFlag(&installed);
    if (installed)
        config.m_installedProduct = InstalledProductInfo{installedVersion, L"VARO Pro"};
    EXPECT_TRUE(config.ReadVersionDocument(versionDocument));
    return config.GetStartDecision();
}

} // namespace

TEST(DemoSite, OffersTheUpdateOnlyToTheOlderRelease)
{
    const std::wstring document = SitePath(L"version.xml");
    EXPECT_EQ(StartDecisionOver(document, L""), 0);
    EXPECT_EQ(StartDecisionOver(document, L"7.0.0.1"), 0) << "7.1.0.5 is offered as update";
    EXPECT_EQ(StartDecisionOver(document, L"7.1.0.5"), 1) << "up to date";
}

TEST(DemoSite, MadeForAnotherPortWithAnOutdatedInstaller)
{
    TempFolder temp;
    const std::wstring site = temp.File(L"site");
    const std::wstring manifestPath = temp.File(L"manifest.xml");
    ASSERT_TRUE(payload_test::MakeDemoSite(site, 9123, manifestPath,
                                           "--min-web-installer 7.0.0.11"));
    CInstallConfig config;
    ManifestInfo manifest;
    ASSERT_TRUE(config.ReadManifest(manifestPath, manifest));
    const std::wstring base = L"http://127.0.0.1:9123/";
    std::vector<std::wstring> urls = {manifest.versionCheckUrl, manifest.mainComponent.fullUrl,
                                      manifest.mainComponent.patchUrl};
    for (const TransformInfo& transform : manifest.transforms)
        urls.push_back(transform.fullUrl);
    for (const LanguagePackInfo& pack : manifest.languagePacks)
        urls.push_back(pack.fullUrl);
    for (const DependencyInfo& dependency : manifest.dependencies)
        urls.push_back(dependency.fullUrl);
    for (const std::wstring& url : urls) {
        EXPECT_EQ(url.compare(0, base.size(), base), 0) << std::string(url.begin(), url.end());
        EXPECT_TRUE(IsFile(site + L"\\" + url.substr(base.size()))) << url.size();
    }
    ASSERT_TRUE(config.ReadVersionDocument(site + L"\\version.xml"));
    EXPECT_EQ(config.m_manifest.freshInstall.webInstallerDownloadUrl,
              base + L"installer/PelWebInstaller.exe");
    EXPECT_TRUE(IsFile(site + L"\\installer\\PelWebInstaller.exe"));
    // The sample installer (7.0.0.10) is now too old, installed product or not.
    EXPECT_EQ(StartDecisionOver(site + L"\\version.xml", L""), 2);
    EXPECT_EQ(StartDecisionOver(site + L"\\version.xml", L"7.0.0.1"), 2);
}

TEST(DemoPackages, BothReleasesAreTheManifestsProduct)
{
    const ManifestInfo manifest = SampleManifest();
    const std::wstring full = SitePath(kFullPackage);
    const std::wstring patch = SitePath(kPatchPackage);
    EXPECT_EQ(PackageProperty(full, L"ProductCode"), manifest.productCode);
    EXPECT_EQ(PackageProperty(patch, L"ProductCode"), manifest.productCode);
    EXPECT_EQ(PackageProperty(full, L"UpgradeCode"), PackageProperty(patch, L"UpgradeCode"));
    EXPECT_EQ(PackageProperty(full, L"ProductVersion"), L"7.0.0.1");
    EXPECT_EQ(PackageProperty(patch, L"ProductVersion"), L"7.1.0.5");
    EXPECT_EQ(PackageProperty(full, L"ProductName"), manifest.fullName);
    EXPECT_EQ(PackageProperty(full, L"InstallHomepageURL"),
              L"https://www.pel-systems.com/varo-pro/7/welcome");
    EXPECT_EQ(PackageProperty(full, L"ALLUSERS"), L"1");
    // Different packages of one product: each has a package code of its own.
    EXPECT_NE(SummaryText(full, 9), SummaryText(patch, 9));
    EXPECT_EQ(SummaryText(full, 7), L"x64;1033");
}

TEST(DemoPackages, TheManifestsExecutableIsInstalledIntoInstallDir)
{
    CMsiHandle database;
    ASSERT_EQ(MsiOpenDatabaseW(SitePath(kFullPackage).c_str(), MSIDBOPEN_READONLY,
                               database.Receive()),
              0u);
    const std::wstring executable = SampleManifest().executable;
    const std::wstring fileName = QueryValue(
        database.Get(), L"SELECT `FileName` FROM `File` WHERE `File` = 'VideoEditorExe'");
    // "short|long": the long name is the manifest's executable.
    EXPECT_EQ(fileName.substr(fileName.find(L'|') + 1), executable);
    EXPECT_NE(fileName.find(L'|'), std::wstring::npos) << "long names need a short name";
    EXPECT_EQ(QueryValue(database.Get(),
                         L"SELECT `Directory_` FROM `Component` WHERE `Component` = 'VideoEditor'"),
              L"INSTALLDIR");
    EXPECT_EQ(QueryValue(database.Get(),
                         L"SELECT `Attributes` FROM `Component` WHERE `Component` = 'VideoEditor'"),
              L"256") << "a 64-bit component";
}

TEST(DemoTransforms, AreTransformStoragesOfThePackage)
{
    std::vector<std::wstring> packageStreams = StreamNames(SitePath(kFullPackage), nullptr);
    ASSERT_FALSE(packageStreams.empty());
    for (const wchar_t* language : {L"1031", L"1036"}) {
        const std::wstring path = SitePath(std::wstring(L"transform\\") + language + L".mst");
        CLSID storageClass = {};
        const std::vector<std::wstring> streams = StreamNames(path, &storageClass);
        const CLSID transformClass = {
            0x000C1082, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
        EXPECT_TRUE(IsEqualCLSID(storageClass, transformClass)) << language;
        // The string pool, string data and Property streams carry the names the package uses
        // for them, so the service finds them under its own encoding.
        EXPECT_EQ(streams.size(), 4u) << language;
        for (const std::wstring& stream : streams) {
            if (stream == L"\005SummaryInformation")
                continue;
            bool inPackage = false;
            for (const std::wstring& known : packageStreams)
                inPackage = inPackage || known == stream;
            EXPECT_TRUE(inPackage) << language << ": stream of " << stream.size() << " units";
        }
    }
}

TEST(DemoTransforms, SummaryNamesBaseAndTargetLanguageAndProduct)
{
    const std::wstring full = SitePath(kFullPackage);
    const std::wstring product = PackageProperty(full, L"ProductCode") +
                                 PackageProperty(full, L"ProductVersion");
    const std::wstring revision =
        product + L";" + product + L";" + PackageProperty(full, L"UpgradeCode");
    for (const wchar_t* language : {L"1031", L"1036"}) {
        const std::wstring path = SitePath(std::wstring(L"transform\\") + language + L".mst");
        EXPECT_EQ(SummaryText(path, 7), L"x64;1033") << language;
        EXPECT_EQ(SummaryText(path, 8), std::wstring(L"x64;") + language);
        EXPECT_EQ(SummaryText(path, 9), revision);
        EXPECT_EQ(SummaryText(path, 14), SummaryText(full, 14)) << "installer version";
        // Validation: product and upgrade code; no error conditions suppressed.
        EXPECT_EQ(SummaryText(path, 16), std::to_wstring(0x0802 << 16));
    }
}

TEST(DemoTransforms, ApplyToBothReleases)
{
    struct Case
    {
        std::wstring transform, language, uiLanguage;
    };
    const Case cases[] = {{L"transform\\1031.mst", L"1031", L"de-DE"},
                          {L"transform\\1036.mst", L"1036", L"fr-FR"}};
    for (const std::wstring& package : {kFullPackage, kPatchPackage}) {
        for (const Case& c : cases) {
            TempFolder temp;
            const std::wstring copy = temp.File(L"copy.msi");
            ASSERT_TRUE(CopyFileW(SitePath(package).c_str(), copy.c_str(), FALSE));
            CMsiHandle database;
            ASSERT_EQ(MsiOpenDatabaseW(copy.c_str(), MSIDBOPEN_TRANSACT, database.Receive()), 0u);
            EXPECT_EQ(Property(database.Get(), L"VaroUiLanguage"), L"en-US");
            ASSERT_EQ(MsiDatabaseApplyTransformW(database.Get(), SitePath(c.transform).c_str(), 0),
                      0u);
            EXPECT_EQ(Property(database.Get(), L"ProductLanguage"), c.language);
            EXPECT_EQ(Property(database.Get(), L"VaroUiLanguage"), c.uiLanguage);
            // Rows the transform does not name are untouched.
            EXPECT_EQ(Property(database.Get(), L"InstallHomepageURL"),
                      PackageProperty(SitePath(package), L"InstallHomepageURL"));
        }
    }
}

TEST(DemoTransforms, MakeTransformWritesNothingForRowsThePackageLacks)
{
    TempFolder temp;
    const std::wstring tool = PayloadPath(L"MakeTransform.exe");
    const std::wstring out = temp.File(L"out.mst");
    const std::wstring base = L"\"" + SitePath(kFullPackage) + L"\" \"" + out + L"\" ";
    struct Case
    {
        const wchar_t* arguments;
        long exitCode;
    };
    // A transform that updates a missing row fails on Windows; a bad id is no language.
    const Case refused[] = {{L"1031 NoSuchProperty=1", 2}, {L"1031 =x", 2}, {L"10x1", 2},
                            {L"0", 2},                     {L"70000", 2}};
    for (const Case& c : refused) {
        HANDLE process = testing_support::StartProgram(tool, base + c.arguments);
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(testing_support::WaitExitCode(process, 30000), c.exitCode) << c.arguments;
        CloseHandle(process);
        EXPECT_FALSE(IsFile(out)) << "left a transform for " << c.arguments;
        EXPECT_FALSE(IsFile(out + L".part"));
    }
    HANDLE process = testing_support::StartProgram(tool, base + L"1040 VaroUiLanguage=it-IT");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(testing_support::WaitExitCode(process, 30000), 0);
    CloseHandle(process);
    const std::wstring copy = temp.File(L"copy.msi");
    ASSERT_TRUE(CopyFileW(SitePath(kFullPackage).c_str(), copy.c_str(), FALSE));
    CMsiHandle database;
    ASSERT_EQ(MsiOpenDatabaseW(copy.c_str(), MSIDBOPEN_TRANSACT, database.Receive()), 0u);
    ASSERT_EQ(MsiDatabaseApplyTransformW(database.Get(), out.c_str(), 0), 0u);
    EXPECT_EQ(Property(database.Get(), L"ProductLanguage"), L"1040");
    EXPECT_EQ(Property(database.Get(), L"VaroUiLanguage"), L"it-IT");
}

TEST(DemoInstall, TransformOfAnotherProductIsNotApplied)
{
    // A transform made from another package (the service layer's test package) names that
    // product's code; its validation flags make the service refuse it for this product.
    TempFolder temp;
    const std::wstring foreign = temp.File(L"foreign.mst");
    HANDLE maker = testing_support::StartProgram(
        PayloadPath(L"MakeTransform.exe"),
        L"\"" + testing_support::WinePath(PEL_TEST_MSI) + L"\" \"" + foreign + L"\" 1031");
    ASSERT_NE(maker, nullptr);
    ASSERT_EQ(testing_support::WaitExitCode(maker, 30000), 0);
    CloseHandle(maker);

    const std::wstring code = PackageProperty(SitePath(kFullPackage), L"ProductCode");
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    InstallLog log;
    const std::wstring commandLine =
        MsiService::InstallDirProperty(temp.Path() + L"\\VARO Pro 7") + L" " +
        MsiService::TransformsProperty(foreign);
    const UINT result = Install(SitePath(kFullPackage), commandLine, log);
    if (result == ERROR_SUCCESS) {
        // Wine 8 does not check a transform's validation flags: it applies it anyway.
        RecordProperty("ForeignTransformApplied",
                       log.Saw(L"Property(S): ProductLanguage = 1031") ? 1 : 0);
    } else {
        // Windows: the transform is not valid for this package and the installation fails.
        EXPECT_EQ(result, static_cast<UINT>(ERROR_INSTALL_TRANSFORM_FAILURE));
    }
}

TEST(DemoInstall, FreshInstallThenUpdateToTheNewerRelease)
{
    const std::wstring code = PackageProperty(SitePath(kFullPackage), L"ProductCode");
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    ASSERT_EQ(InstalledAttribute(code, INSTALLPROPERTY_VERSIONSTRING), L"<error 1605>")
        << "the demo product is installed already";

    TempFolder temp;
    const std::wstring installDir = temp.Path() + L"\\VARO Pro 7";
    InstallLog fresh;
    ASSERT_EQ(Install(SitePath(kFullPackage), MsiService::InstallDirProperty(installDir), fresh),
              0u);
    EXPECT_GT(fresh.progress, 0);
    EXPECT_TRUE(fresh.Saw(L"Property(S): InstallHomepageURL = "
                          L"https://www.pel-systems.com/varo-pro/7/welcome"));
    EXPECT_TRUE(fresh.Saw(L"Property(S): VaroUiLanguage = en-US"));
    EXPECT_TRUE(IsFile(installDir + L"\\" + SampleManifest().executable));
    EXPECT_TRUE(IsFile(installDir + L"\\VARO Pro Video Recorder 7.exe"));
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_VERSIONSTRING), L"7.0.0.1");
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"VARO Pro");

    // The installer's update: the newer package over the installed product.
    InstallLog update;
    ASSERT_EQ(Install(SitePath(kPatchPackage), MsiService::kReinstallProperties, update), 0u);
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_VERSIONSTRING), L"7.1.0.5");
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"VARO Pro");
    EXPECT_TRUE(IsFile(installDir + L"\\" + SampleManifest().executable));

    MsiService::SetQuietInternalUi();
    EXPECT_EQ(MsiConfigureProductW(code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT), 0u);
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_VERSIONSTRING), L"<error 1605>");
}

TEST(DemoInstall, LanguageTransformChangesThePropertiesTheServiceSees)
{
    const std::wstring code = PackageProperty(SitePath(kFullPackage), L"ProductCode");
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    TempFolder temp;
    const std::wstring transform = SitePath(L"transform\\1031.mst");
    InstallLog log;
    const std::wstring commandLine =
        MsiService::InstallDirProperty(temp.Path() + L"\\VARO Pro 7") + L" " +
        MsiService::TransformsProperty(transform);
    ASSERT_EQ(Install(SitePath(kFullPackage), commandLine, log), 0u);
    EXPECT_TRUE(log.Saw(L"Property(S): VaroUiLanguage = de-DE"));
    EXPECT_TRUE(log.Saw(L"Property(S): ProductLanguage = 1031"));
    EXPECT_FALSE(log.Saw(L"Property(S): VaroUiLanguage = en-US"));
    EXPECT_EQ(InstalledAttribute(code, INSTALLPROPERTY_VERSIONSTRING), L"7.0.0.1");
}
