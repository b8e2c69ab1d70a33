// The self-check against the test download server: the start decision from a fetched
// version document, and the download of a newer installer.
#include "engine/ClientValidation.h"

#include "config/InstallConfig.h"
#include "engine/HttpTransfer.h"
#include "engine/Sha256.h"

#include "TestServer.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using testing_support::CTestServer;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string ReadFileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
}

// A version document whose offers require at least the given installer versions.
std::string VersionDocument(const std::string& freshMinimum, const std::string& freshUrl,
                            const std::string& patchMinimum = "7.0.0.1",
                            const std::string& patchUrl = "")
{
    return "<?xml version=\"1.0\"?>\n<pelwebinstaller>"
           "<product_code>{SERVER}</product_code>"
           "<fresh_install><product_version>7.0.0.1</product_version>"
           "<min_web_installer_version>" + freshMinimum + "</min_web_installer_version>"
           "<web_installer_download_url>" + freshUrl + "</web_installer_download_url>"
           "</fresh_install>"
           "<patch_install><product_version>7.0.0.2</product_version>"
           "<min_web_installer_version>" + patchMinimum + "</min_web_installer_version>"
           "<web_installer_download_url>" + patchUrl + "</web_installer_download_url>"
           "</patch_install></pelwebinstaller>";
}

const char kNewInstallerBytes[] = "MZ pretend this is the current web installer";

// A site on the test server, and a web-build model (installer 7.0.0.10, not installed)
// whose version check URL points at the site and whose downloads go to a folder of its own.
class ClientValidation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        EnsureInternetRoot();
        ASSERT_TRUE(m_server.Start(m_site.Path()));
        ASSERT_TRUE(CreateDirectoryW(m_site.File(L"new").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(m_site.File(L"new\\PelWebInstaller.exe"), kNewInstallerBytes));
        ManifestInfo& m = m_config.m_manifest;
        m.fullName = L"VARO Pro";
        m.shortName = L"VARO";
        m.webInstallerVersion = L"7.0.0.10";
        m.standaloneVersion = L"7.0.0.1";
        m.versionCheckUrl = m_server.Url(L"/version.xml");
        m_config.m_strComponentFolder = m_downloads.Path() + L"\\";
    }

    void ServeVersionDocument(const std::string& text)
    {
        ASSERT_TRUE(WriteFileBytes(m_site.File(L"version.xml"), text));
    }

    std::string NewInstallerUrl() const { return Narrow(m_server.Url(L"/new/PelWebInstaller.exe")); }

    // The name of a file the self-check left of the version document, or empty.
    std::wstring VersionDocumentCopy() const
    {
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((m_downloads.Path() + L"\\*version.xml*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return std::wstring();
        FindClose(search);
        return found.cFileName;
    }

    TempFolder m_site;
    TempFolder m_downloads;
    CTestServer m_server;
    CInstallConfig m_config;
};

TEST_F(ClientValidation, StandaloneBuildDecidesWithoutAnyRequest)
{
    ServeVersionDocument(VersionDocument("7.0.0.20", NewInstallerUrl()));
    m_config.m_manifest.standalone = 1;
    EXPECT_EQ(0, CheckClientVersion(m_config));
    EXPECT_EQ(0, m_server.CountRequests("/")) << m_server.RequestLog();
}

TEST_F(ClientValidation, CurrentInstallerGoesOnAndRemovesTheDocumentCopy)
{
    ServeVersionDocument(VersionDocument("7.0.0.5", NewInstallerUrl()));
    EXPECT_EQ(0, CheckClientVersion(m_config));
    EXPECT_EQ(1, m_server.CountRequests("/version.xml"));
    EXPECT_EQ(L"7.0.0.5", m_config.m_manifest.freshInstall.minWebInstallerVersion);
    // The model holds what the document says: its copy in the download folder is gone.
    EXPECT_EQ(L"", VersionDocumentCopy());
}

TEST_F(ClientValidation, ServerDownGivesFour)
{
    ServeVersionDocument(VersionDocument("7.0.0.5", NewInstallerUrl()));
    m_server.Stop(); // the port is closed now: the connection is refused
    EXPECT_EQ(kDecisionVersionDocumentUnavailable, CheckClientVersion(m_config));
}

TEST_F(ClientValidation, UnreadableVersionDocumentGivesFour)
{
    ServeVersionDocument("this is <not a version document");
    EXPECT_EQ(kDecisionVersionDocumentUnavailable, CheckClientVersion(m_config));
    EXPECT_EQ(1, m_server.CountRequests("/version.xml"));
}

TEST_F(ClientValidation, MissingVersionCheckUrlGivesFour)
{
    m_config.m_manifest.versionCheckUrl.clear();
    EXPECT_EQ(kDecisionVersionDocumentUnavailable, CheckClientVersion(m_config));
}

TEST_F(ClientValidation, ErrorAnswerOrBrokenOffBodyIsNotTakenForTheDocument)
{
    // Each body is a well-formed document that would say "too old": once with an error
    // status, once declared longer than what arrived before the connection closed.
    const std::string document = VersionDocument("7.0.0.20", NewInstallerUrl());
    ServeVersionDocument(document);
    const std::wstring faults[] = {L"status=500",
                                   L"length=" + std::to_wstring(document.size() + 100)};
    for (const std::wstring& fault : faults) {
        SCOPED_TRACE(Narrow(fault));
        ASSERT_TRUE(m_server.SetFault(L"/version.xml", fault));
        EXPECT_EQ(kDecisionVersionDocumentUnavailable, CheckClientVersion(m_config));
        EXPECT_EQ(L"", m_config.m_manifest.freshInstall.minWebInstallerVersion);
        // Not even what arrived stays.
        EXPECT_EQ(L"", VersionDocumentCopy());
        ASSERT_TRUE(m_server.ClearFaults());
    }
}

TEST_F(ClientValidation, OutdatedInstallerGivesTwoAndDownloadsTheNewOne)
{
    ServeVersionDocument(VersionDocument("7.0.0.20", NewInstallerUrl()));
    ASSERT_EQ(2, CheckClientVersion(m_config));

    // The release's hash, in capitals, vouches for the file; a length was declared.
    Sha256Digest digest{};
    CSha256 hash;
    ASSERT_TRUE(hash.Add(kNewInstallerBytes, sizeof kNewInstallerBytes - 1) && hash.Finish(digest));
    std::wstring text = Sha256Text(digest);
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    m_config.m_manifest.freshInstall.webInstallerSha256 = text;
    std::wstring path = L"<unchanged>";
    SuccessorDownload download;
    EXPECT_NE(0u, DownloadNewInstaller(m_config, path, &download));
    EXPECT_EQ(kNewInstallerBytes, ReadFileText(path));
    EXPECT_TRUE(download.hashVerified);
    EXPECT_TRUE(download.lengthDeclared);
    // A folder of its own in the temporary folder, named after the full name.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(0u, path.find(std::wstring(temp) + L"PelWebInstaller_")) << Narrow(path);
    EXPECT_EQ(L"\\VARO Pro.exe", path.substr(path.rfind(L'\\')));
    DeleteFileW(path.c_str());
    RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
}

TEST_F(ClientValidation, InstalledProductFetchesFromThePatchUrl)
{
    ASSERT_TRUE(WriteFileBytes(m_site.File(L"new\\patch.exe"), "patch installer"));
    // Sent without its length: nothing but a hash or a signature can vouch for it.
    ASSERT_TRUE(m_server.SetFault(L"/new/patch.exe", L"nolength=1"));
    int installed = 1;
    m_config.BindProductInstalledFlag(&installed);
    m_config.m_manifest.freshInstall.webInstallerDownloadUrl = m_server.Url(L"/new/PelWebInstaller.exe");
    m_config.m_manifest.patchInstall.webInstallerDownloadUrl = m_server.Url(L"/new/patch.exe");

    std::wstring path;
    SuccessorDownload download;
    EXPECT_NE(0u, DownloadNewInstaller(m_config, path, &download));
    EXPECT_EQ("patch installer", ReadFileText(path));
    EXPECT_FALSE(download.hashVerified);
    EXPECT_FALSE(download.lengthDeclared);
    EXPECT_EQ(1, m_server.CountRequests("/new/patch.exe"));
    EXPECT_EQ(0, m_server.CountRequests("/new/PelWebInstaller.exe"));
    DeleteFileW(path.c_str());
    RemoveDirectoryW(path.substr(0, path.rfind(L'\\')).c_str());
    m_config.BindProductInstalledFlag(nullptr);
}

TEST_F(ClientValidation, FailedDownloadGivesZeroAnEmptyPathAndLeavesNothing)
{
    struct Case
    {
        const wchar_t* fault;
        const wchar_t* sha256;   // the release's hash
        int requests;            // 0: not counted
    } cases[] = {{L"status=404", L"", 1}, {L"cut=10", L"", 0},
                 // A file that is not the one named: fetched once more, then refused.
                 {nullptr, L"0000000000000000000000000000000000000000000000000000000000000000", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.fault ? c.fault : c.sha256));
        if (c.fault) {
            ASSERT_TRUE(m_server.SetFault(L"/new/PelWebInstaller.exe", c.fault));
        }
        m_config.m_manifest.freshInstall.webInstallerSha256 = c.sha256;
        const int before = m_server.CountRequests("/new/PelWebInstaller.exe");
        // Every new folder is named after the tick count: this one is known beforehand.
        const DWORD tick = 0x7ead0001u;
        m_config.SetTickSource([tick] { return tick; });
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring folder =
            std::wstring(temp) + L"PelWebInstaller_" + std::to_wstring(static_cast<int32_t>(tick));
        RemoveDirectoryW(folder.c_str());

        m_config.m_manifest.freshInstall.webInstallerDownloadUrl =
            m_server.Url(L"/new/PelWebInstaller.exe");
        std::wstring path = L"<unchanged>";
        EXPECT_EQ(0u, DownloadNewInstaller(m_config, path));
        EXPECT_EQ(L"", path);
        // A partial program is never left where it could be started.
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"\\VARO Pro.exe").c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));
        if (c.requests) {
            EXPECT_EQ(c.requests, m_server.CountRequests("/new/PelWebInstaller.exe") - before);
        }
        ASSERT_TRUE(m_server.ClearFaults());
    }
}

TEST_F(ClientValidation, NoDownloadUrlGivesZeroWithoutARequest)
{
    std::wstring path = L"<unchanged>";
    EXPECT_EQ(0u, DownloadNewInstaller(m_config, path));
    EXPECT_EQ(L"", path);
    EXPECT_EQ(0, m_server.CountRequests("/"));
}

} // namespace

namespace {

SignatureCheck Signed(SignatureState state, BYTE publisher)
{
    SignatureCheck check;
    check.state = state;
    check.result = state == SignatureState::Valid ? S_OK : TRUST_E_NOSIGNATURE;
    if (publisher)
        check.subject = {0x30, 0x03, publisher};
    return check;
}

} // namespace

// What may start at exit, from the checks of the running installer and its
// successor and from what the download found.
TEST(SuccessorTrust, SignaturesHashAndLengthDecide)
{
    const SignatureCheck none = Signed(SignatureState::Unsigned, 0);
    const SignatureCheck a = Signed(SignatureState::Valid, 'A');
    const SignatureCheck b = Signed(SignatureState::Valid, 'B');
    const SignatureCheck broken = Signed(SignatureState::Invalid, 'A');
    const struct
    {
        const char* name;
        SignatureCheck running, successor;
        bool hash, length, started;
    } cases[] = {
        {"unsigned, with length: as before", none, none, false, true, true},
        {"unsigned, no length, no hash", none, none, false, false, false},
        {"unsigned, no length, hash", none, none, true, false, true},
        {"no length, valid signature", none, b, false, false, true},
        {"broken signature", none, broken, false, true, false},
        {"broken signature, hash", none, broken, true, true, true},
        {"signed installer, same publisher", a, a, false, false, true},
        {"signed installer, other publisher", a, b, true, true, false},
        {"signed installer, unsigned successor with hash", a, none, true, true, false},
        {"signed installer, broken successor", a, broken, true, true, false},
        {"installer with a broken signature vouches for nothing", broken, none, false, true, true},
    };
    for (const auto& c : cases) {
        std::wstring reason;
        EXPECT_EQ(c.started, JudgeSuccessor(c.running, c.successor, {c.hash, c.length, L""}, reason)) << c.name;
        EXPECT_FALSE(reason.empty()) << c.name;
    }
}
