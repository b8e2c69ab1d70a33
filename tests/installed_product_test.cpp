// Installed-product detection against the real Windows Installer service (with the test
// package installed for the suite and removed afterwards) and the real registry.
#include "config/InstallConfig.h"
#include "config/ProductInfo.h"
#include "engine/MsiService.h"
#include "framework/Handles.h"

#include "InstallConfigTestSupport.h"
#include "MsiTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <msi.h>
#include <msiquery.h>

#include <memory>
#include <string>
#include <vector>

using install_config_test::InstallerFolder;
using install_config_test::ManifestText;
using install_config_test::ScratchKey;
using testing_support::TempFolder;
using testing_support::WindowsInstallerTestLock;

namespace {

using testing_support::PackageProperty;
using testing_support::TestPackagePath;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

struct QuietConfig
{
    CInstallConfig config;
    int installed = 0;
    std::vector<std::wstring> messages;
    QuietConfig()
    {
        config.BindProductInstalledFlag(&installed);
        config.SetMessageReporter([this](const std::wstring& text) { messages.push_back(text); });
    }
};

// A manifest for the given product code and key, offering German and French.
std::string ManifestFor(const std::string& productCode, const std::string& registry,
                        const std::string& fullName = "VARO Pro")
{
    return ManifestText(
        "<pid>P</pid><full_name>" + fullName + "</full_name><registry>" + registry +
            "</registry><standalone>true</standalone><standalone_version>7.1.2.3"
            "</standalone_version><main_component><name>p.msi</name>"
            "<full_url>http://h/p.msi</full_url></main_component>"
            "<language_pack><lang_id>1031</lang_id></language_pack>"
            "<language_pack><lang_id>1036</lang_id></language_pack>",
        productCode);
}

} // namespace

// The test package stays installed while this suite runs, under the lock that keeps other
// installing tests away, and is removed at its end whatever happened.
class InstalledProductTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_code = PackageProperty(L"ProductCode");
        s_lock = std::make_unique<WindowsInstallerTestLock>();
        if (s_code.empty() || !s_lock->Held())
            return;
        s_installDir = std::make_unique<TempFolder>();
        MsiService::SetQuietInternalUi();
        s_installResult = MsiService::InstallProduct(
            TestPackagePath(), MsiService::InstallDirProperty(s_installDir->Path()));
    }

    static void TearDownTestSuite()
    {
        std::wstring version;
        if (!s_code.empty() &&
            QueryProductInfo(s_code, INSTALLPROPERTY_VERSIONSTRING, version) !=
                ERROR_UNKNOWN_PRODUCT) {
            MsiService::SetQuietInternalUi();
            MsiConfigureProductW(s_code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
        }
        s_installDir.reset();
        s_lock.reset();
    }

    void SetUp() override
    {
        ASSERT_FALSE(s_code.empty()) << "cannot read " << PEL_TEST_MSI;
        ASSERT_TRUE(s_lock && s_lock->Held());
        ASSERT_TRUE(MsiService::IsInstallSuccess(s_installResult)) << s_installResult;
    }

    static std::wstring s_code;
    static std::unique_ptr<WindowsInstallerTestLock> s_lock;
    static std::unique_ptr<TempFolder> s_installDir;
    static UINT s_installResult;
};

std::wstring InstalledProductTest::s_code;
std::unique_ptr<WindowsInstallerTestLock> InstalledProductTest::s_lock;
std::unique_ptr<TempFolder> InstalledProductTest::s_installDir;
UINT InstalledProductTest::s_installResult = ERROR_INSTALL_FAILURE;

TEST_F(InstalledProductTest, InfoIsTheInstalledVersionAndWholeName)
{
    QuietConfig q;
    const InstalledProductInfo info = q.config.GetInstalledProductInfo(s_code);
    EXPECT_EQ(info.version, PackageProperty(L"ProductVersion"));
    EXPECT_EQ(info.productName, PackageProperty(L"ProductName"));
    EXPECT_GT(info.productName.size(), 259u); // longer than the service's first buffer
    EXPECT_TRUE(q.messages.empty());
}

TEST_F(InstalledProductTest, InstalledLanguageWinsOverTheCommandLine)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    ASSERT_TRUE(product.SetDword(L"LanguagePacks", L"InitialLangID", 1031));
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestFor(Narrow(s_code), product.NarrowPath())));
    folder.Context().commandLineLanguage = L"1036";
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.installed, 1);
    EXPECT_EQ(q.config.m_installedProduct.version, PackageProperty(L"ProductVersion"));
    EXPECT_EQ(q.config.m_uiStrings.m_nLanguageId, 1031);

    // Even a language the manifest does not offer.
    ASSERT_TRUE(product.SetDword(L"LanguagePacks", L"InitialLangID", 1041));
    QuietConfig other;
    ASSERT_TRUE(other.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(other.config.m_uiStrings.m_nLanguageId, 1041);
}

TEST_F(InstalledProductTest, StoredEnglishOrNoValueKeepsTheChosenLanguage)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestFor(Narrow(s_code), product.NarrowPath())));
    folder.Context().uiLanguage = 1031;

    QuietConfig none; // no LanguagePacks key at all
    ASSERT_TRUE(none.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(none.installed, 1);
    EXPECT_EQ(none.config.m_uiStrings.m_nLanguageId, 1031);

    ASSERT_TRUE(product.SetDword(L"LanguagePacks", L"InitialLangID", 1033));
    QuietConfig english;
    ASSERT_TRUE(english.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(english.config.m_uiStrings.m_nLanguageId, 1031);
}

TEST_F(InstalledProductTest, StartDecisionSeesTheInstalledProduct)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    InstallerFolder folder;
    // The manifest names the package's product under another name.
    ASSERT_TRUE(folder.WriteManifest(ManifestFor(Narrow(s_code), product.NarrowPath())));
    QuietConfig other;
    ASSERT_TRUE(other.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(other.config.GetStartDecision(), 6);

    // Under its own name, with the packaged version equal to the installed one.
    ASSERT_TRUE(folder.WriteManifest(
        ManifestFor(Narrow(s_code), product.NarrowPath(), Narrow(PackageProperty(L"ProductName")))));
    QuietConfig same;
    ASSERT_TRUE(same.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(same.config.GetStartDecision(), 1);
    same.config.m_manifest.standaloneVersion = L"7.1.2.4";
    EXPECT_EQ(same.config.GetStartDecision(), 0);
}

TEST(InstalledProductDetection, UnknownProductIsNotInstalledWithoutAMessage)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    ASSERT_TRUE(product.SetDword(L"LanguagePacks", L"InitialLangID", 1036));
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(
        ManifestFor(install_config_test::kUnknownProductCode, product.NarrowPath())));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.installed, 0);
    EXPECT_TRUE(q.messages.empty());
    EXPECT_EQ(q.config.m_installedProduct.productName, L"");
    EXPECT_EQ(q.config.m_uiStrings.m_nLanguageId, 1033); // the stored language is not used
}

TEST(InstalledProductDetection, OtherServiceErrorsAreReportedWithTheirNumber)
{
    const std::wstring badCode = L"not a product code";
    std::wstring value;
    const UINT expected =
        QueryProductInfo(badCode, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, value);
    ASSERT_NE(expected, static_cast<UINT>(ERROR_SUCCESS));
    ASSERT_NE(expected, static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
    QuietConfig q;
    q.config.m_manifest.productCode = badCode;
    q.config.DetectInstalledProduct();
    ASSERT_EQ(q.messages.size(), 1u);
    EXPECT_EQ(q.messages[0], L"Failed to get installed product info, error code: " +
                                 std::to_wstring(static_cast<int>(expected)));
    EXPECT_EQ(q.installed, 0);
}

TEST(InstalledProductDetection, TheNameDecidesWhetherTheQueryCounts)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    // The service answers by attribute: no version, but a name.
    std::wstring versionAnswer;
    UINT versionResult = ERROR_UNKNOWN_PROPERTY;
    std::wstring nameAnswer = L"VARO Pro";
    UINT nameResult = ERROR_SUCCESS;
    auto query = [&](const std::wstring&, const wchar_t* attribute, std::wstring& value) {
        const bool version = std::wstring(attribute) == INSTALLPROPERTY_VERSIONSTRING;
        value = version ? versionAnswer : nameAnswer;
        return version ? versionResult : nameResult;
    };

    QuietConfig nameOnly;
    nameOnly.config.SetProductInfoQuery(query);
    nameOnly.config.m_manifest.registry = product.Path();
    nameOnly.config.DetectInstalledProduct();
    EXPECT_EQ(nameOnly.installed, 1);
    EXPECT_EQ(nameOnly.config.m_installedProduct.productName, L"VARO Pro");

    // A version without a name is a failed query: nothing is kept.
    versionAnswer = L"7.0.0.1";
    versionResult = ERROR_SUCCESS;
    nameAnswer.clear();
    nameResult = ERROR_UNKNOWN_PRODUCT;
    QuietConfig versionOnly;
    versionOnly.config.SetProductInfoQuery(query);
    versionOnly.config.m_manifest.registry = product.Path();
    versionOnly.config.DetectInstalledProduct();
    EXPECT_EQ(versionOnly.installed, 0);
    EXPECT_EQ(versionOnly.config.m_installedProduct.version, L"");
    EXPECT_TRUE(versionOnly.messages.empty());

    nameResult = ERROR_BAD_CONFIGURATION;
    QuietConfig broken;
    broken.config.SetProductInfoQuery(query);
    broken.config.DetectInstalledProduct();
    ASSERT_EQ(broken.messages.size(), 1u);
    EXPECT_EQ(broken.messages[0], L"Failed to get installed product info, error code: 1610");
}

TEST(InstalledProductRegistry, LanguagePacksAreTheSubkeyNumbersInEnumerationOrder)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    QuietConfig q;
    q.config.m_manifest.registry = product.Path();
    EXPECT_TRUE(q.config.GetInstalledLanguagePacks().empty());

    ASSERT_TRUE(product.CreateSubkey(L"LanguagePacks\\1031"));
    ASSERT_TRUE(product.CreateSubkey(L"LanguagePacks\\1036"));
    EXPECT_EQ(q.config.GetInstalledLanguagePacks(), (std::vector<int>{1031, 1036}));
    // A name that is no number still counts, as 0.
    ASSERT_TRUE(product.CreateSubkey(L"LanguagePacks\\x"));
    EXPECT_EQ(q.config.GetInstalledLanguagePacks(), (std::vector<int>{1031, 1036, 0}));
}

TEST(InstalledProductRegistry, ExecutableMustStillExistAsAFile)
{
    ScratchKey product(HKEY_LOCAL_MACHINE, L"InstalledProduct");
    TempFolder temp;
    const std::wstring exe = temp.File(L"VARO Pro.exe");
    ASSERT_TRUE(testing_support::WriteFileBytes(exe, "MZ"));
    QuietConfig q;
    q.config.m_manifest.registry = product.Path();
    EXPECT_EQ(q.config.GetInstalledExecutable(), L""); // no value

    ASSERT_TRUE(product.SetString(L"", L"exe", exe));
    EXPECT_EQ(q.config.GetInstalledExecutable(), exe);
    ASSERT_TRUE(DeleteFileW(exe.c_str()));
    EXPECT_EQ(q.config.GetInstalledExecutable(), L"");
    // A folder would open in the shell instead of starting the product.
    ASSERT_TRUE(product.SetString(L"", L"exe", temp.Path()));
    EXPECT_EQ(q.config.GetInstalledExecutable(), L"");
    ASSERT_TRUE(product.SetString(L"", L"exe", L""));
    EXPECT_EQ(q.config.GetInstalledExecutable(), L"");
}
