// The server's version document read from real files into the install model, and the start
// decision taken from the model afterwards.
#include "config/InstallConfig.h"

#include "InstallConfigTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

const char kFullDocument[] =
    "<?xml version=\"1.0\"?>\n<pelwebinstaller>"
    "<product_code>{SERVER}</product_code>"
    "<fresh_install><product_version>7.0.0.1</product_version>"
    "<min_web_installer_version>7.0.0.5</min_web_installer_version>"
    "<web_installer_download_url>http://h/fresh.exe</web_installer_download_url>"
    "<web_installer_sha256>ABCDEF</web_installer_sha256></fresh_install>"
    "<patch_install><product_version>7.1.0.5</product_version>"
    "<min_web_installer_version>7.0.0.6</min_web_installer_version>"
    "<web_installer_download_url>http://h/patch.exe</web_installer_download_url></patch_install>"
    "</pelwebinstaller>";

// A model as the manifest load leaves it, without touching any file.
void FillFromManifest(CInstallConfig& config)
{
    config.m_manifest.fullName = L"VARO Pro";
    config.m_manifest.webInstallerVersion = L"7.0.0.10";
    config.m_manifest.standaloneVersion = L"7.0.0.1";
    config.m_manifest.freshInstall.productVersion = L"keep fresh";
    config.m_manifest.patchInstall.webInstallerDownloadUrl = L"keep patch";
}

} // namespace

TEST(VersionDocument, ReadsEveryValueIntoTheModel)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"version.xml"), kFullDocument));
    CInstallConfig config;
    FillFromManifest(config);
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"version.xml")));
    const ManifestInfo& m = config.m_manifest;
    EXPECT_EQ(m.serverProductCode, L"{SERVER}");
    EXPECT_EQ(m.freshInstall.productVersion, L"7.0.0.1");
    EXPECT_EQ(m.freshInstall.minWebInstallerVersion, L"7.0.0.5");
    EXPECT_EQ(m.freshInstall.webInstallerDownloadUrl, L"http://h/fresh.exe");
    EXPECT_EQ(m.freshInstall.webInstallerSha256, L"ABCDEF");
    EXPECT_EQ(m.patchInstall.webInstallerSha256, L"");
    EXPECT_EQ(m.patchInstall.productVersion, L"7.1.0.5");
    EXPECT_EQ(m.patchInstall.minWebInstallerVersion, L"7.0.0.6");
    EXPECT_EQ(m.patchInstall.webInstallerDownloadUrl, L"http://h/patch.exe");
    // The server's update version takes the place of the manifest's standalone version.
    EXPECT_EQ(m.standaloneVersion, L"7.1.0.5");
    EXPECT_EQ(m.fullName, L"VARO Pro");
}

TEST(VersionDocument, PatchBeforeFreshReadsOnlyFresh)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"),
        "<pelwebinstaller>"
        "<patch_install><product_version>7.1.0.5</product_version></patch_install>"
        "<fresh_install><product_version>7.0.0.9</product_version></fresh_install>"
        "</pelwebinstaller>"));
    CInstallConfig config;
    FillFromManifest(config);
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    EXPECT_EQ(config.m_manifest.freshInstall.productVersion, L"7.0.0.9");
    EXPECT_EQ(config.m_manifest.patchInstall.productVersion, L"");
    EXPECT_EQ(config.m_manifest.standaloneVersion, L"7.0.0.1");
}

TEST(VersionDocument, UrlBeforeMinimumReadsOnlyTheMinimum)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"),
        "<pelwebinstaller><fresh_install>"
        "<web_installer_download_url>http://h/early.exe</web_installer_download_url>"
        "<min_web_installer_version>7.0.0.20</min_web_installer_version>"
        "</fresh_install></pelwebinstaller>"));
    CInstallConfig config;
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    EXPECT_EQ(config.m_manifest.freshInstall.minWebInstallerVersion, L"7.0.0.20");
    EXPECT_EQ(config.m_manifest.freshInstall.webInstallerDownloadUrl, L"");
}

TEST(VersionDocument, AbsentElementsKeepWhatTheModelHeld)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"),
        "<pelwebinstaller><patch_install>"
        "<min_web_installer_version>7.0.0.7</min_web_installer_version>"
        "</patch_install></pelwebinstaller>"));
    CInstallConfig config;
    FillFromManifest(config);
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    EXPECT_EQ(config.m_manifest.patchInstall.minWebInstallerVersion, L"7.0.0.7");
    EXPECT_EQ(config.m_manifest.patchInstall.webInstallerDownloadUrl, L"keep patch");
    EXPECT_EQ(config.m_manifest.freshInstall.productVersion, L"keep fresh");
    EXPECT_EQ(config.m_manifest.standaloneVersion, L"7.0.0.1");

    // A second read overwrites only what the new document carries.
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v2.xml"), kFullDocument));
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v2.xml")));
    EXPECT_EQ(config.m_manifest.patchInstall.minWebInstallerVersion, L"7.0.0.6");
}

TEST(VersionDocument, MissingEmptyOrIllFormedDocumentChangesNothing)
{
    TempFolder temp;
    CInstallConfig config;
    FillFromManifest(config);
    EXPECT_FALSE(config.ReadVersionDocument(L""));
    EXPECT_FALSE(config.ReadVersionDocument(temp.File(L"missing.xml")));
    EXPECT_FALSE(config.ReadVersionDocument(temp.Path())); // a folder is no document
    ASSERT_TRUE(WriteFileBytes(temp.File(L"bad.xml"),
        "<pelwebinstaller><patch_install><product_version>9.0.0.9</product_version>"
        "</pelwebinstaller>"));
    EXPECT_FALSE(config.ReadVersionDocument(temp.File(L"bad.xml")));
    // An error page in place of the document.
    ASSERT_TRUE(WriteFileBytes(temp.File(L"page.xml"), "<html><body>404<br></body></html>"));
    EXPECT_FALSE(config.ReadVersionDocument(temp.File(L"page.xml")));
    EXPECT_EQ(config.m_manifest.standaloneVersion, L"7.0.0.1");
    EXPECT_EQ(config.m_manifest.patchInstall.productVersion, L"");
}

TEST(VersionDocument, AnotherRootReadsAsSuccessWithNothingChanged)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"),
        "<other><patch_install><product_version>9.0.0.9</product_version></patch_install></other>"));
    CInstallConfig config;
    FillFromManifest(config);
    EXPECT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    EXPECT_EQ(config.m_manifest.standaloneVersion, L"7.0.0.1");
    EXPECT_EQ(config.m_manifest.serverProductCode, L"");
}

TEST(VersionDocument, ReleasesAreFoundWithoutAProductCode)
{
    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"),
        "<pelwebinstaller><fresh_install><product_version>7.0.0.2</product_version>"
        "</fresh_install><patch_install><product_version>7.0.0.3</product_version>"
        "</patch_install></pelwebinstaller>"));
    CInstallConfig config;
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    EXPECT_EQ(config.m_manifest.freshInstall.productVersion, L"7.0.0.2");
    EXPECT_EQ(config.m_manifest.patchInstall.productVersion, L"7.0.0.3");
}

// The decision reads the model's values; these cases show each input reaching the rule.
TEST(StartDecisionFromModel, NotInstalledComparesTheFreshMinimum)
{
    CInstallConfig config;
    FillFromManifest(config);
    EXPECT_EQ(config.GetStartDecision(), 0);
    config.m_manifest.freshInstall.minWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(config.GetStartDecision(), 2);
    config.m_manifest.standalone = 1; // a standalone build never asks the server
    EXPECT_EQ(config.GetStartDecision(), 0);
}

TEST(StartDecisionFromModel, InstalledUsesTheInstalledRecordAndPatchValues)
{
    CInstallConfig config;
    int installed = 1;
    config.BindProductInstalledFlag(&installed);
    FillFromManifest(config);
    EXPECT_EQ(config.GetStartDecision(), 3); // flag set, nothing known

    config.m_installedProduct.version = L"7.0.1.500";
    config.m_installedProduct.productName = L"varo pro";
    config.m_manifest.standaloneVersion = L"7.0.1.500";
    EXPECT_EQ(config.GetStartDecision(), 1);

    TempFolder temp;
    ASSERT_TRUE(WriteFileBytes(temp.File(L"v.xml"), kFullDocument));
    ASSERT_TRUE(config.ReadVersionDocument(temp.File(L"v.xml")));
    // 7.1.0.5 is not newer than 7.0.1.500 (the fourth numbers decide).
    EXPECT_EQ(config.GetStartDecision(), 1);
    config.m_installedProduct.version = L"7.0.1.4";
    EXPECT_EQ(config.GetStartDecision(), 0);
    config.m_manifest.patchInstall.minWebInstallerVersion = L"7.0.0.11";
    EXPECT_EQ(config.GetStartDecision(), 2);
    config.m_manifest.standalone = 1;
    EXPECT_EQ(config.GetStartDecision(), 0);

    // Letters beyond A-Z are compared without case too.
    config.m_manifest.fullName = L"\u00C4VARO";
    config.m_installedProduct.productName = L"\u00E4varo";
    EXPECT_EQ(config.GetStartDecision(), 0);
    config.m_installedProduct.productName = L"Other";
    EXPECT_EQ(config.GetStartDecision(), 6);

    // The flag is read where it is bound: cleared, the product counts as not installed.
    installed = 0;
    config.m_manifest.standalone = 0;
    config.m_manifest.freshInstall.minWebInstallerVersion = L"7.0.0.20";
    EXPECT_EQ(config.GetStartDecision(), 2);
}
