// The Windows Installer layer against the system's real msi.dll, with a small
// package built from tests/data/msi/product.wxs.
#include "config/ProductInfo.h"
#include "engine/MsiService.h"
#include "framework/Handles.h"

#include "MsiTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

using testing_support::TempFolder;
using testing_support::WinePath;
using testing_support::WindowsInstallerTestLock;

namespace {

using testing_support::PackageProperty;
using testing_support::TestPackagePath;

// What the external UI handler saw during one installation.
struct HandlerLog
{
    DWORD expectedThread = GetCurrentThreadId();
    bool otherThread = false;
    int progress = 0;
    int info = 0;
    std::vector<std::wstring> infoTexts;
    bool cancelAtFirstProgress = false;
};

int WINAPI RecordingHandler(LPVOID context, UINT messageType, LPCWSTR text)
{
    HandlerLog* log = static_cast<HandlerLog*>(context);
    if (GetCurrentThreadId() != log->expectedThread)
        log->otherThread = true;
    const UINT type = messageType & 0xFF000000;
    if (type == INSTALLMESSAGE_PROGRESS) {
        ++log->progress;
        if (log->cancelAtFirstProgress)
            return IDCANCEL;
    }
    if (type == INSTALLMESSAGE_INFO && text) {
        ++log->info;
        log->infoTexts.push_back(text);
    }
    return type == INSTALLMESSAGE_PROGRESS || type == INSTALLMESSAGE_INFO ? IDOK : 0;
}

bool SawInfoLine(const HandlerLog& log, const std::wstring& line)
{
    for (const std::wstring& text : log.infoTexts) {
        if (text.find(line) != std::wstring::npos)
            return true;
    }
    return false;
}

bool IsInstalled(const std::wstring& productCode)
{
    std::wstring version;
    return QueryProductInfo(productCode, INSTALLPROPERTY_VERSIONSTRING, version) !=
           ERROR_UNKNOWN_PRODUCT;
}

// Removes the test product when a test ends, so the prefix stays clean even
// after a failed check; also drops the handler, whose context dies with the test.
class ProductRemover
{
public:
    explicit ProductRemover(std::wstring productCode) : m_code(std::move(productCode)) {}
    ~ProductRemover()
    {
        MsiSetExternalUIW(nullptr, 0, nullptr);
        if (IsInstalled(m_code)) {
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

TEST(MsiServiceTexts, PropertiesAreQuotedForTheService)
{
    EXPECT_EQ(std::wstring(MsiService::kReinstallProperties),
              L"REINSTALL=ALL REINSTALLMODE=vomus REBOOT=ReallySuppress");
    EXPECT_EQ(MsiService::InstallDirProperty(L"C:\\Program Files\\Pel Systems"),
              L"INSTALLDIR=\"C:\\Program Files\\Pel Systems\"");
    EXPECT_EQ(MsiService::TransformsProperty(L"C:\\Pel\\transform\\1031.mst"),
              L"TRANSFORMS=\"C:\\Pel\\transform\\1031.mst\"");
    EXPECT_EQ(MsiService::InstallDirProperty(L""), L"INSTALLDIR=\"\"");
    // A quote inside the value is doubled, so it cannot close the value and add properties.
    EXPECT_EQ(MsiService::InstallDirProperty(L"C:\\x\" REINSTALL=ALL \""),
              L"INSTALLDIR=\"C:\\x\"\" REINSTALL=ALL \"\"\"");
}

TEST(MsiServiceTexts, FilterIsTheDocumentedUnionWithoutFilesInUse)
{
    const DWORD expected =
        INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
        INSTALLLOGMODE_USER | INSTALLLOGMODE_INFO | INSTALLLOGMODE_RESOLVESOURCE |
        INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
        INSTALLLOGMODE_PROGRESS | INSTALLLOGMODE_COMMONDATA | INSTALLLOGMODE_INITIALIZE |
        INSTALLLOGMODE_TERMINATE | INSTALLLOGMODE_SHOWDIALOG | INSTALLLOGMODE_INSTALLEND;
    EXPECT_EQ(MsiService::kExternalUiFilter, expected);
    EXPECT_EQ(MsiService::kExternalUiFilter & INSTALLLOGMODE_FILESINUSE, 0u);
}

TEST(MsiServiceTexts, OnlySuccessAndRebootRequiredAreSuccess)
{
    EXPECT_TRUE(MsiService::IsInstallSuccess(ERROR_SUCCESS));
    EXPECT_TRUE(MsiService::IsInstallSuccess(ERROR_SUCCESS_REBOOT_REQUIRED));
    const UINT failures[] = {ERROR_INSTALL_USEREXIT, ERROR_INSTALL_FAILURE, ERROR_UNKNOWN_PRODUCT,
                             ERROR_SUCCESS_REBOOT_INITIATED, ERROR_INSTALL_TRANSFORM_FAILURE, 1};
    for (UINT failure : failures)
        EXPECT_FALSE(MsiService::IsInstallSuccess(failure)) << failure;
}

TEST(MsiServiceQuery, UnknownProductGives1605AndNoValue)
{
    std::wstring value = L"left over";
    EXPECT_EQ(QueryProductInfo(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}",
                                         INSTALLPROPERTY_INSTALLEDPRODUCTNAME, value),
              static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
    EXPECT_EQ(value, L"");
}

TEST(MsiServiceQuery, MalformedProductCodeIsAnotherError)
{
    std::wstring value = L"left over";
    const UINT result = QueryProductInfo(L"not a product code",
                                                   INSTALLPROPERTY_VERSIONSTRING, value);
    EXPECT_NE(result, static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_NE(result, static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
    EXPECT_EQ(value, L"");
    RecordProperty("MalformedCodeResult", static_cast<int>(result));
}

TEST(MsiServiceInstall, InstallsQueriesAndRemovesARealPackage)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty()) << "cannot read " << PEL_TEST_MSI;
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    ASSERT_FALSE(IsInstalled(code)) << "the test product is installed already";

    TempFolder temp;
    const std::wstring installDir = temp.Path() + L"\\Pel Target Folder";
    HandlerLog log;
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(RecordingHandler, &log);
    const UINT result =
        MsiService::InstallProduct(TestPackagePath(), MsiService::InstallDirProperty(installDir));
    ASSERT_TRUE(MsiService::IsInstallSuccess(result)) << result;

    // The handler got the filtered messages with our context, on this thread.
    EXPECT_GT(log.progress, 0);
    EXPECT_GT(log.info, 0);
    EXPECT_FALSE(log.otherThread);
    EXPECT_TRUE(SawInfoLine(log, L"Property(S): InstallHomepageURL = " +
                                     PackageProperty(L"InstallHomepageURL")));

    // INSTALLDIR, quoted and containing blanks, reached the package.
    EXPECT_NE(GetFileAttributesW((installDir + L"\\payload.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    std::wstring version;
    std::wstring name;
    EXPECT_EQ(QueryProductInfo(code, INSTALLPROPERTY_VERSIONSTRING, version), 0u);
    EXPECT_EQ(version, PackageProperty(L"ProductVersion"));
    EXPECT_EQ(QueryProductInfo(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name), 0u);
    EXPECT_EQ(name, PackageProperty(L"ProductName"));
    EXPECT_GT(name.size(), 259u) << "the package's name should not fit the first buffer";

    // A single read into the first buffer would not have been enough.
    wchar_t buffer[kProductInfoChars] = {};
    DWORD chars = kProductInfoChars;
    EXPECT_EQ(MsiGetProductInfoW(code.c_str(), INSTALLPROPERTY_INSTALLEDPRODUCTNAME, buffer,
                                 &chars),
              static_cast<UINT>(ERROR_MORE_DATA));

    MsiSetExternalUIW(nullptr, 0, nullptr);
    MsiService::SetQuietInternalUi();
    EXPECT_EQ(MsiConfigureProductW(code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT), 0u);
    EXPECT_EQ(QueryProductInfo(code, INSTALLPROPERTY_VERSIONSTRING, version),
              static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
    EXPECT_EQ(version, L"");
    // Windows removes the file with the product; Wine 8 unregisters the
    // product but leaves the file, which the temporary folder then removes.
    const bool fileLeft =
        GetFileAttributesW((installDir + L"\\payload.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    RecordProperty("PayloadLeftAfterRemoval", fileLeft ? 1 : 0);
}

TEST(MsiServiceInstall, HandlerCancelIsPassedBackToTheService)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty());
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    HandlerLog log;
    log.cancelAtFirstProgress = true;
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(RecordingHandler, &log);
    const UINT result = MsiService::InstallProduct(TestPackagePath(), std::wstring());
    EXPECT_GT(log.progress, 0);
    if (result == ERROR_INSTALL_USEREXIT) {
        // Windows: the answer IDCANCEL ends the installation, which is a failure.
        EXPECT_FALSE(MsiService::IsInstallSuccess(result));
        EXPECT_FALSE(IsInstalled(code));
    } else {
        // Wine 8 ignores the handler's IDCANCEL and completes the installation.
        EXPECT_EQ(result, static_cast<UINT>(ERROR_SUCCESS));
        EXPECT_TRUE(IsInstalled(code));
        RecordProperty("HandlerCancelIgnored", 1);
    }
}

TEST(MsiServiceInstall, TransformsPropertyReachesTheService)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty());
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    TempFolder temp;
    const std::wstring missing = temp.File(L"1031.mst");
    HandlerLog log;
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(RecordingHandler, &log);
    const UINT result =
        MsiService::InstallProduct(TestPackagePath(), MsiService::TransformsProperty(missing));
    if (result == ERROR_INSTALL_TRANSFORM_FAILURE) {
        // Windows: a transform that cannot be applied fails the installation.
        EXPECT_FALSE(IsInstalled(code));
    } else {
        // Wine 8 skips a missing transform; its property dump shows what arrived.
        EXPECT_EQ(result, static_cast<UINT>(ERROR_SUCCESS));
        EXPECT_TRUE(SawInfoLine(log, L"Property(S): TRANSFORMS = " + missing));
        RecordProperty("MissingTransformIgnored", 1);
    }
}

TEST(MsiServiceInstall, QuoteInAValueStaysInsideIt)
{
    const std::wstring code = PackageProperty(L"ProductCode");
    ASSERT_FALSE(code.empty());
    WindowsInstallerTestLock lock;
    ASSERT_TRUE(lock.Held());
    ProductRemover remover(code);
    const std::wstring hostile = L"C:\\x\" REINSTALL=ALL \"";
    HandlerLog log;
    MsiService::SetQuietInternalUi();
    MsiService::SetExternalUiHandler(RecordingHandler, &log);
    const UINT result =
        MsiService::InstallProduct(TestPackagePath(), MsiService::TransformsProperty(hostile));
    // Unescaped, the quote would end the value early: the service then rejects
    // the command line (1639) or takes REINSTALL=ALL as a property of its own.
    EXPECT_NE(result, static_cast<UINT>(ERROR_INVALID_COMMAND_LINE));
    EXPECT_FALSE(SawInfoLine(log, L"Property(S): REINSTALL = "));
    if (result == ERROR_SUCCESS) // Wine 8 skips the (missing) transform and installs
        EXPECT_TRUE(SawInfoLine(log, L"Property(S): TRANSFORMS = " + hostile));
    else
        EXPECT_EQ(result, static_cast<UINT>(ERROR_INSTALL_TRANSFORM_FAILURE));
}
