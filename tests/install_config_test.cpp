// The install model loaded from real manifest files in a temporary installer folder, with the
// replacement-manifest value in a real (scratch) registry key.
#include "config/InstallConfig.h"
#include "framework/RunLog.h"

#include "InstallConfigTestSupport.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

using install_config_test::GoodProductBody;
using install_config_test::InstallerFolder;
using install_config_test::ManifestText;
using install_config_test::ScratchKey;

namespace {

// Records what would have been shown in a message box instead of showing it.
struct QuietConfig
{
    CInstallConfig config;
    std::vector<std::wstring> messages;
    QuietConfig()
    {
        config.SetMessageReporter([this](const std::wstring& text) { messages.push_back(text); });
    }
};

bool HasProblemContaining(const CInstallConfig& config, const std::wstring& part)
{
    for (const std::wstring& problem : config.GetLoadProblems()) {
        if (problem.find(part) != std::wstring::npos)
            return true;
    }
    return false;
}

std::string Body() { return GoodProductBody("Software\\PelTests\\NoSuchProduct"); }

// The good body with its main component replaced.
std::string BodyWithMainComponent(const std::string& mainComponent)
{
    std::string body = Body();
    const size_t begin = body.find("<main_component>");
    return body.substr(0, begin) + mainComponent;
}

const std::string kMainComponent =
    "<main_component><name>p.msi</name><full_url>http://h/p.msi</full_url></main_component>";

std::string ScalarsOnly()
{
    std::string body = Body();
    return body.substr(0, body.find("<main_component>"));
}

} // namespace

TEST(InstallConfigManifest, ReadsEveryValueOfAGoodManifest)
{
    InstallerFolder folder;
    const std::string body =
        Body().substr(0, Body().find("</main_component>")) +
        "<transform><lang_id>1031</lang_id><name>Deutsch</name><full_url>http://h/1031.mst</full_url>"
        "<sha256>" + std::string(64, '1') + "</sha256></transform>"
        "<full_sha256>" + std::string(64, 'a') + "</full_sha256><patch_sha256>" + std::string(64, 'B') +
        "</patch_sha256></main_component>"
        "<language_pack><lang_id>1031</lang_id><pid>DE</pid><name>Deutsch</name><full_url>http://h/lp.exe</full_url>"
        "<sha256>" + std::string(64, '2') + "</sha256></language_pack>"
        "<dependency><name>vc_redist.exe</name><full_url>http://h/vc.exe</full_url><install_commandline>/q</install_commandline>"
        "<sha256>" + std::string(64, '3') + "</sha256></dependency>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    const ManifestInfo& m = q.config.m_manifest;
    EXPECT_EQ(m.webInstallerVersion, L"7.0.0.10");
    EXPECT_EQ(m.pid, L"VARO-PRO-70");
    EXPECT_EQ(m.fullName, L"VARO Pro");
    EXPECT_EQ(m.shortName, L"VARO");
    EXPECT_EQ(m.registry, L"Software\\PelTests\\NoSuchProduct");
    EXPECT_EQ(m.standalone, 0);
    EXPECT_EQ(m.standaloneVersion, L"7.0.0.1");
    EXPECT_EQ(m.versionCheckUrl, L"http://127.0.0.1:8470/version.xml");
    EXPECT_EQ(m.mainComponent.name, L"varo_pro_70.msi");
    EXPECT_EQ(m.executable, L"VARO Pro.exe");
    EXPECT_EQ(m.mainComponent.patchUrl, L"http://127.0.0.1:8470/msi/varo_pro_70_patch.msi");
    ASSERT_EQ(m.transforms.size(), 1u);
    EXPECT_EQ(m.transforms[0].langId, 1031);
    EXPECT_EQ(m.transforms[0].fullUrl, L"http://h/1031.mst");
    ASSERT_EQ(m.languagePacks.size(), 1u);
    EXPECT_EQ(m.languagePacks[0].pid, L"DE");
    EXPECT_EQ(m.languagePacks[0].fullUrl, L"http://h/lp.exe");
    ASSERT_EQ(m.dependencies.size(), 1u);
    EXPECT_EQ(m.dependencies[0].installCommandLine, L"/q");
    EXPECT_EQ(m.transforms[0].sha256, std::wstring(64, L'1'));
    EXPECT_EQ(m.mainComponent.fullSha256, std::wstring(64, L'a'));
    EXPECT_EQ(m.mainComponent.patchSha256, std::wstring(64, L'B'));
    EXPECT_EQ(m.languagePacks[0].sha256, std::wstring(64, L'2'));
    EXPECT_EQ(m.dependencies[0].sha256, std::wstring(64, L'3'));
    EXPECT_EQ(q.config.m_strExeFolder, folder.Path());
    EXPECT_EQ(q.config.m_strManifestPath, folder.File(L"config\\manifest.xml"));
    EXPECT_EQ(q.config.m_strInstallFolder, L"C:\\Program Files\\Pel Systems");
    EXPECT_TRUE(q.config.GetLoadProblems().empty());
    EXPECT_FALSE(q.config.IsProductInstalled());
    EXPECT_TRUE(q.messages.empty()); // an unknown product is no error
}

TEST(InstallConfigManifest, StandaloneIsTrueInAnyCaseButNotWithBlanks)
{
    const struct { const char* text; int expected; } cases[] = {
        {"TRUE", 1}, {"True", 1}, {"true", 1}, {" true", 0}, {"true ", 0}, {"yes", 0}, {"", 0}};
    for (const auto& c : cases) {
        InstallerFolder folder;
        std::string body = Body();
        body.replace(body.find("<standalone>false"), std::string("<standalone>false").size(),
                     std::string("<standalone>") + c.text);
        ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
        QuietConfig q;
        EXPECT_TRUE(q.config.LoadManifestFrom(folder.Context()));
        EXPECT_EQ(q.config.m_manifest.standalone, c.expected) << c.text;
    }
}

// The element left unread is named in the run log, with its line, as a warning.
TEST(InstallConfigManifest, ElementsBeforeThePreviouslyReadOneAreNotFound)
{
    InstallerFolder folder;
    // full_name before pid: the search for full_name starts after pid.
    std::string body = "<full_name>VARO Pro</full_name>" + Body();
    body.erase(body.rfind("<full_name>VARO Pro</full_name>"),
               std::string("<full_name>VARO Pro</full_name>").size());
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    const std::wstring logPath = folder.File(L"run.log");
    ASSERT_EQ(OpenRunLog(logPath, L"InstallConfigTest"), logPath);
    QuietConfig q;
    const bool loaded = q.config.LoadManifestFrom(folder.Context());
    CloseRunLog();
    EXPECT_TRUE(loaded);
    EXPECT_EQ(q.config.m_manifest.pid, L"VARO-PRO-70");
    EXPECT_EQ(q.config.m_manifest.fullName, L"");
    EXPECT_EQ(q.config.m_manifest.shortName, L"VARO");
    const std::string log = testing_support::ReadFileBytes(logPath);
    EXPECT_NE(log.find("Manifest warning (reading order): `full_name` at line 2 comes before "
                       "`pid` (line 2)"),
              std::string::npos)
        << log;
}

TEST(InstallConfigManifest, DependencyBetweenLanguagePacksIsNotRead)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() + kMainComponent +
        "<language_pack><lang_id>1031</lang_id></language_pack>"
        "<dependency><name>early.exe</name></dependency>"
        "<language_pack><lang_id>1036</lang_id></language_pack>"
        "<dependency><name>late.exe</name></dependency>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    ASSERT_EQ(q.config.m_manifest.languagePacks.size(), 2u);
    EXPECT_EQ(q.config.m_manifest.languagePacks[1].langId, 1036);
    ASSERT_EQ(q.config.m_manifest.dependencies.size(), 1u);
    EXPECT_EQ(q.config.m_manifest.dependencies[0].name, L"late.exe");
}

TEST(InstallConfigManifest, ContainersWithoutTheirKeyChildAreSkipped)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() +
        "<main_component><full_url>http://h/p.msi</full_url><name>p.msi</name>"
        "<executable>after.exe</executable>"
        "<transform><name>no id</name><full_url>http://h/x.mst</full_url></transform>"
        "<transform><full_url>http://h/1036.mst</full_url><lang_id> 1036x</lang_id></transform>"
        "</main_component>"
        "<language_pack><pid>no id</pid></language_pack>"
        "<language_pack><lang_id>1031</lang_id><full_url>http://h/lp.exe</full_url><pid>late</pid></language_pack>"
        "<dependency><full_url>http://h/no-name.exe</full_url></dependency>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_FALSE(q.config.LoadManifestFrom(folder.Context()));
    const ManifestInfo& m = q.config.m_manifest;
    // The key child is found anywhere; the others only after it.
    EXPECT_EQ(m.mainComponent.name, L"p.msi");
    EXPECT_EQ(m.mainComponent.fullUrl, L"");
    EXPECT_EQ(m.executable, L"after.exe");
    ASSERT_EQ(m.transforms.size(), 1u);
    EXPECT_EQ(m.transforms[0].langId, 1036); // read like _wtoi
    EXPECT_EQ(m.transforms[0].fullUrl, L"");
    ASSERT_EQ(m.languagePacks.size(), 1u);
    // pid follows lang_id and is read; full_url stands before pid and is not.
    EXPECT_EQ(m.languagePacks[0].pid, L"late");
    EXPECT_EQ(m.languagePacks[0].fullUrl, L"");
    EXPECT_TRUE(m.dependencies.empty());
    // Without the full URL the manifest is refused.
    EXPECT_TRUE(HasProblemContaining(q.config, L"full_url"));
}

// A hash stands last in its container: one placed earlier is not read and
// hides nothing that manifests without hashes use; one of another form is kept
// (so that its file fails the check) and named as a problem.
TEST(InstallConfigManifest, PayloadHashesAreReadLastAndCheckedForForm)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() +
        "<main_component><name>p.msi</name><full_url>http://h/p.msi</full_url>"
        "<full_sha256>" + std::string(64, 'a') + "</full_sha256><patch_url>http://h/u.msi</patch_url>"
        "<transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url></transform>"
        "<patch_sha256> " + std::string(64, 'b') + "</patch_sha256></main_component>"
        "<dependency><name>d.exe</name><sha256>" + std::string(64, 'c') + "</sha256>"
        "<full_url>http://h/d.exe</full_url><install_commandline>/q</install_commandline></dependency>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    const ManifestInfo& m = q.config.m_manifest;
    EXPECT_EQ(m.mainComponent.patchUrl, L"http://h/u.msi");
    EXPECT_EQ(m.mainComponent.fullSha256, L"");
    ASSERT_EQ(m.transforms.size(), 1u);
    EXPECT_EQ(m.mainComponent.patchSha256, L" " + std::wstring(64, L'b'));
    EXPECT_TRUE(HasProblemContaining(q.config, L"main_component/patch_sha256"));
    ASSERT_EQ(m.dependencies.size(), 1u);
    EXPECT_EQ(m.dependencies[0].sha256, L"");
    EXPECT_EQ(m.dependencies[0].fullUrl, L"http://h/d.exe");
    EXPECT_EQ(m.dependencies[0].installCommandLine, L"/q");
}

TEST(InstallConfigManifest, ValuesAreTakenExactlyAsWritten)
{
    InstallerFolder folder;
    std::string body = Body();
    body.replace(body.find("<pid>VARO-PRO-70"), std::string("<pid>VARO-PRO-70").size(),
                 "<pid> VARO &amp; CO\n");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_manifest.pid, L" VARO & CO\n");
}

TEST(InstallConfigManifest, TheShippedSampleLoadsCleanly)
{
    InstallerFolder folder;
    const std::wstring source = testing_support::WinePath(PEL_SOURCE_DIR) + L"\\sample";
    ASSERT_TRUE(CopyFileW((source + L"\\config\\manifest.xml").c_str(),
                          folder.File(L"config\\manifest.xml").c_str(), FALSE));
    const std::wstring languageSource = source + L"\\language";
    std::vector<wchar_t> from(languageSource.begin(), languageSource.end());
    from.push_back(0);
    from.push_back(0);
    std::wstring to = folder.Path();
    to.push_back(0);
    to.push_back(0);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_COPY;
    op.pFrom = from.data();
    op.pTo = to.c_str();
    op.fFlags = FOF_NO_UI;
    ASSERT_EQ(SHFileOperationW(&op), 0);

    folder.Context().uiLanguage = 1036;
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_TRUE(q.config.GetLoadProblems().empty());
    EXPECT_EQ(q.config.m_manifest.mainComponent.name, L"varo_pro_70.msi");
    EXPECT_EQ(q.config.m_manifest.dependencies.size(), 2u);
    const std::vector<LanguageEntry> languages = q.config.GetLanguages();
    ASSERT_EQ(languages.size(), 3u);
    EXPECT_EQ(languages[0].displayName, L"English");
    EXPECT_EQ(languages[1].langId, 1031);
    // Titles come from the language folder's string.ini, not from the manifest.
    EXPECT_EQ(languages[1].displayName,
              q.config.m_uiStrings.GetLanguageTitle(1031));
    EXPECT_NE(languages[1].displayName, L"1031");
    EXPECT_EQ(q.config.m_uiStrings.m_nLanguageId, 1036);
}

TEST(InstallConfigRequired, MissingOrIllFormedManifestLeavesTheModelEmpty)
{
    InstallerFolder folder;
    QuietConfig missing;
    EXPECT_FALSE(missing.config.LoadManifestFrom(folder.Context()));
    EXPECT_TRUE(missing.config.GetLanguages().empty());
    EXPECT_TRUE(HasProblemContaining(missing.config, L"manifest.xml"));
    EXPECT_EQ(GetFileAttributesW(folder.File(L"msi").c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body()) + "<second/>"));
    QuietConfig illFormed;
    EXPECT_FALSE(illFormed.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(illFormed.config.m_manifest.pid, L"");
    EXPECT_TRUE(illFormed.config.GetLanguages().empty());
}

TEST(InstallConfigRequired, EachRequiredValueIsChecked)
{
    const struct { std::string from; std::string to; const wchar_t* problem; } cases[] = {
        {"<pid>VARO-PRO-70</pid>", "<pid></pid>", L"pid"},
        {"<registry>Software\\PelTests\\NoSuchProduct</registry>", "", L"registry"},
        {"<full_url>http://127.0.0.1:8470/msi/varo_pro_70.msi</full_url>", "", L"full_url"},
        {"<name>varo_pro_70.msi</name>", "<name></name>", L"main_component/name"},
    };
    for (const auto& c : cases) {
        InstallerFolder folder;
        std::string body = Body();
        body.replace(body.find(c.from), c.from.size(), c.to);
        ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
        QuietConfig q;
        EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context())) << c.from;
        EXPECT_TRUE(HasProblemContaining(q.config, c.problem)) << c.from;
        // The values read stay; the language list is not built.
        EXPECT_EQ(q.config.m_manifest.shortName, L"VARO");
        EXPECT_TRUE(q.config.GetLanguages().empty());
    }
}

TEST(InstallConfigRequired, AnotherRootReadsAsEmptyAndIsRefused)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest("<other><product><pid>x</pid></product></other>"));
    QuietConfig q;
    ManifestInfo info;
    EXPECT_TRUE(q.config.ReadManifest(folder.File(L"config\\manifest.xml"), info));
    EXPECT_EQ(info.pid, L"");
    EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context()));
}

TEST(InstallConfigLanguages, DefaultFollowsUiLanguageCommandLineOrEnglish)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() + kMainComponent +
        "<language_pack><lang_id>1031</lang_id></language_pack>"
        "<language_pack><lang_id>1040</lang_id></language_pack>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    const struct { int ui; const wchar_t* lang; int expected; } cases[] = {
        {1031, L"", 1031},     // the UI language has a pack
        {1031, L"1036", 1033}, // /lang without a pack: English, the UI language is not looked at
        {1033, L"1040", 1040}, // /lang with a pack
        {1036, L"", 1033},     // neither
        {2055, L"", 1033},     // Swiss German does not select German
        {1031, L"0", 1031},    // a /lang below 1 is no choice
        {1031, L"x", 1031},
    };
    for (const auto& c : cases) {
        folder.Context().uiLanguage = c.ui;
        folder.Context().commandLineLanguage = c.lang;
        QuietConfig q;
        ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
        EXPECT_EQ(q.config.m_uiStrings.m_nLanguageId, c.expected) << c.ui << " " << c.lang;
    }
}

TEST(InstallConfigLanguages, ListIsEnglishThenEveryPackWithTitleOrNumber)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() + kMainComponent +
        "<language_pack><lang_id>1031</lang_id><name>ignored</name></language_pack>"
        "<language_pack><lang_id>1036</lang_id></language_pack>"
        "<language_pack><lang_id>1031</lang_id></language_pack>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    ASSERT_TRUE(folder.MakeFolder(L"language"));
    ASSERT_TRUE(folder.MakeFolder(L"language\\1031"));
    ASSERT_TRUE(folder.WriteFile(L"language\\1031\\string.ini", "[LANGUAGE]\r\nTitle=Deutsch\r\n"));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_uiStrings.GetLanguageFolder(), folder.Path() + L"\\language\\");
    const std::vector<LanguageEntry> languages = q.config.GetLanguages();
    ASSERT_EQ(languages.size(), 4u);
    EXPECT_EQ(languages[0].langId, 1033);
    EXPECT_EQ(languages[1].displayName, L"Deutsch");
    EXPECT_EQ(languages[2].displayName, L"1036");
    EXPECT_EQ(languages[3].langId, 1031); // duplicates stay
}

TEST(InstallConfigReplacement, ExistingReplacementReplacesTheWholeManifest)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    std::string other = Body();
    other.replace(other.find("VARO-PRO-70"), 11, "REPLACED");
    other.replace(other.find("<short_name>VARO</short_name>"), 29, "");
    ASSERT_TRUE(folder.WriteFile(L"other.xml", ManifestText(other)));
    ASSERT_TRUE(folder.ReplacementKey().SetString(L"", L"WebInstallerManifest",
                                                  folder.File(L"other.xml")));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_manifest.pid, L"REPLACED");
    EXPECT_EQ(q.config.m_manifest.shortName, L""); // nothing of the first one is kept
    EXPECT_EQ(q.config.m_strManifestPath, folder.File(L"other.xml"));
}

TEST(InstallConfigReplacement, MissingFileIsIgnoredAndStandaloneNeverLooks)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    ASSERT_TRUE(folder.ReplacementKey().SetString(L"", L"WebInstallerManifest",
                                                  folder.File(L"missing.xml")));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_strManifestPath, folder.File(L"config\\manifest.xml"));

    // A standalone manifest does not look at the value, even when it names a bad file.
    ASSERT_TRUE(folder.WriteFile(L"bad.xml", "<pelwebinstaller>"));
    ASSERT_TRUE(folder.ReplacementKey().SetString(L"", L"WebInstallerManifest",
                                                  folder.File(L"bad.xml")));
    std::string standalone = Body();
    standalone.replace(standalone.find("<standalone>false"), 17, "<standalone>true");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(standalone)));
    QuietConfig s;
    EXPECT_TRUE(s.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(s.config.m_manifest.standalone, 1);
}

TEST(InstallConfigReplacement, UnreadableReplacementFailsTheLoad)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    ASSERT_TRUE(folder.WriteFile(L"bad.xml", "<pelwebinstaller><product>"));
    ASSERT_TRUE(folder.ReplacementKey().SetString(L"", L"WebInstallerManifest",
                                                  folder.File(L"bad.xml")));
    QuietConfig q;
    EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_manifest.pid, L"VARO-PRO-70"); // the first manifest stays
    EXPECT_TRUE(q.config.GetLanguages().empty());
    EXPECT_TRUE(HasProblemContaining(q.config, L"replacement"));
}

TEST(InstallConfigFolders, WebBuildPreparesAllThreeFolders)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    ASSERT_TRUE(folder.MakeFolder(L"component"));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(q.config.m_strComponentFolder, folder.Path() + L"\\component\\");
    EXPECT_EQ(q.config.m_strMsiFolder, folder.Path() + L"\\msi\\");
    EXPECT_EQ(q.config.m_strTransformFolder, folder.Path() + L"\\transform\\");
    EXPECT_TRUE(IsExistingFolder(folder.File(L"component")));
    EXPECT_TRUE(IsExistingFolder(folder.File(L"msi")));
    EXPECT_TRUE(IsExistingFolder(folder.File(L"transform")));

    // A component folder with files in it is kept, files and all.
    ASSERT_TRUE(folder.WriteFile(L"component\\kept.bin", "x"));
    QuietConfig again;
    ASSERT_TRUE(again.config.LoadManifestFrom(folder.Context()));
    EXPECT_TRUE(IsExistingFile(folder.File(L"component\\kept.bin")));
}

TEST(InstallConfigFolders, StandaloneLeavesTheComponentFolderAlone)
{
    InstallerFolder folder;
    std::string body = Body();
    body.replace(body.find("<standalone>false"), 17, "<standalone>true");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    // Standing where the folder would be, a file is no obstacle in a standalone build.
    ASSERT_TRUE(folder.WriteFile(L"component", "not a folder"));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_TRUE(IsExistingFile(folder.File(L"component")));
    EXPECT_TRUE(IsExistingFolder(folder.File(L"msi")));
    EXPECT_TRUE(IsExistingFolder(folder.File(L"transform")));
}

// A file where a folder belongs used to pass as "exists"; every download into it would fail.
TEST(InstallConfigFolders, AFileInPlaceOfAFolderFailsTheLoad)
{
    for (const wchar_t* name : {L"component", L"msi", L"transform"}) {
        InstallerFolder folder;
        ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
        ASSERT_TRUE(folder.WriteFile(name, "in the way"));
        QuietConfig q;
        EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context())) << name;
        EXPECT_TRUE(HasProblemContaining(q.config, name)) << name;
        // The language list and installed state were set before the folders.
        EXPECT_FALSE(q.config.GetLanguages().empty());
    }
}

TEST(InstallConfigPaths, StandaloneAndWebDownloadPaths)
{
    InstallerFolder folder;
    std::string body = Body();
    body.replace(body.find("<standalone>false"), 17, "<standalone>true");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig standalone;
    ASSERT_TRUE(standalone.config.LoadManifestFrom(folder.Context()));
    const std::wstring component = folder.Path() + L"\\component\\";
    EXPECT_EQ(standalone.config.GetDownloadPath(L"a.msi"), component + L"a.msi");
    EXPECT_EQ(standalone.config.GetLanguagePackPath(1031), component + L"language_pack_1031.exe");

    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    QuietConfig web;
    DWORD tick = 12345;
    web.config.SetTickSource([&tick] { return tick; });
    ASSERT_TRUE(web.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(web.config.GetDownloadPath(L"a.msi"), component + L"12345a.msi");
    tick = 20000;
    EXPECT_EQ(web.config.GetLanguagePackPath(1036), component + L"20000language_pack_1036.exe");
    EXPECT_EQ(web.config.GetMainPackagePath(), folder.Path() + L"\\msi\\varo_pro_70.msi");
    EXPECT_EQ(web.config.GetTransformPath(1031), folder.Path() + L"\\transform\\1031.mst");
}

// Ticks advance in steps of 10-16 ms: two downloads of one name in one step got one file.
TEST(InstallConfigPaths, RepeatedDownloadsAlwaysGetFilesOfTheirOwn)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    QuietConfig q;
    DWORD tick = 500;
    q.config.SetTickSource([&tick] { return tick; });
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    const std::wstring component = folder.Path() + L"\\component\\";
    EXPECT_EQ(q.config.GetDownloadPath(L"version.xml"), component + L"500version.xml");
    EXPECT_EQ(q.config.GetDownloadPath(L"version.xml"), component + L"501version.xml");
    // A file left from an earlier run is not reused.
    ASSERT_TRUE(folder.WriteFile(L"component\\502version.xml", "old"));
    EXPECT_EQ(q.config.GetDownloadPath(L"version.xml"), component + L"503version.xml");
    // The stamp follows the tick count forward across the sign change, printed signed.
    tick = 0x7FFFFFFFu;
    EXPECT_EQ(q.config.GetDownloadPath(L"a.msi"), component + L"2147483647a.msi");
    tick = 0x80000000u;
    EXPECT_EQ(q.config.GetDownloadPath(L"a.msi"), component + L"-2147483648a.msi");
    tick = 0xFFFFFFF0u;
    EXPECT_EQ(q.config.GetDownloadPath(L"a.msi"), component + L"-16a.msi");
}

TEST(InstallConfigPaths, NewInstallerGoesToAFreshTemporaryFolder)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    QuietConfig q;
    const DWORD tick = 0x7000000u + (GetCurrentProcessId() & 0xFFFF);
    q.config.SetTickSource([tick] { return tick; });
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    const std::wstring expectedFolder =
        ReadTempFolder() + L"PelWebInstaller_" + std::to_wstring(tick);
    EXPECT_EQ(q.config.GetNewInstallerPath(), expectedFolder + L"\\VARO Pro.exe");
    EXPECT_TRUE(IsExistingFolder(expectedFolder));
    RemoveDirectoryW(expectedFolder.c_str());

    // A full name that cannot be a file name gives no path instead of one outside the folder.
    q.config.m_manifest.fullName = L"..\\..\\Windows\\evil";
    EXPECT_EQ(q.config.GetNewInstallerPath(), L"");
}

TEST(InstallConfigUnsafeNames, NamesThatLeaveTheDownloadFoldersAreRefused)
{
    InstallerFolder folder;
    const std::string body = ScalarsOnly() + kMainComponent +
        "<dependency><name>..\\..\\Windows\\System32\\evil.dll</name></dependency>"
        "<dependency><name>C:evil.exe</name></dependency>"
        "<dependency><name>CON.exe</name></dependency>"
        "<dependency><name>setup.exe.</name></dependency>"
        "<dependency><name>a/b.exe</name></dependency>"
        "<dependency><name>ok.exe</name></dependency>";
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    ASSERT_TRUE(q.config.LoadManifestFrom(folder.Context()));
    ASSERT_EQ(q.config.m_manifest.dependencies.size(), 1u);
    EXPECT_EQ(q.config.m_manifest.dependencies[0].name, L"ok.exe");
    EXPECT_EQ(q.config.GetLoadProblems().size(), 5u);
    EXPECT_TRUE(HasProblemContaining(q.config, L"CON.exe"));

    for (const wchar_t* name : {L"..\\x.exe", L"C:\\x.exe", L"nul", L"x*.exe", L"", L"a\tb"})
        EXPECT_EQ(q.config.GetDownloadPath(name), L"") << name;
}

TEST(InstallConfigUnsafeNames, BadMainComponentNameOrExecutableIsRefused)
{
    InstallerFolder folder;
    std::string body = BodyWithMainComponent(
        "<main_component><name>..\\evil.msi</name><full_url>http://h/p.msi</full_url>"
        "</main_component>");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig q;
    EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context()));
    EXPECT_TRUE(HasProblemContaining(q.config, L"..\\evil.msi"));
    EXPECT_EQ(q.config.GetMainPackagePath(), L"");

    body = BodyWithMainComponent(
        "<main_component><name>p.msi</name><executable>..\\..\\cmd.exe</executable>"
        "<full_url>http://h/p.msi</full_url></main_component>");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig e;
    EXPECT_TRUE(e.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(e.config.m_manifest.executable, L"");
    EXPECT_TRUE(HasProblemContaining(e.config, L"executable"));

    body = BodyWithMainComponent(
        "<main_component><name>p.msi</name><executable>bin\\VARO.exe</executable>"
        "<full_url>http://h/p.msi</full_url></main_component>");
    ASSERT_TRUE(folder.WriteManifest(ManifestText(body)));
    QuietConfig s;
    EXPECT_TRUE(s.config.LoadManifestFrom(folder.Context()));
    EXPECT_EQ(s.config.m_manifest.executable, L"bin\\VARO.exe");
}

TEST(InstallConfigModulePath, LongPathsAreReadWholeOrRefused)
{
    const std::wstring longPath = L"C:\\" + std::wstring(700, L'a') + L"\\PelWebInstaller.exe";
    // Behaves like GetModuleFileNameW: a cut, terminated copy and the buffer size when it does
    // not fit.
    auto reader = [&longPath](wchar_t* buffer, DWORD size) -> DWORD {
        const size_t n = std::min<size_t>(longPath.size(), size - 1);
        longPath.copy(buffer, n);
        buffer[n] = L'\0';
        return longPath.size() < size ? static_cast<DWORD>(longPath.size()) : size;
    };
    std::wstring path;
    ASSERT_TRUE(ReadModulePath(reader, path));
    EXPECT_EQ(path, longPath);

    std::wstring untouched = L"before";
    EXPECT_FALSE(ReadModulePath([](wchar_t*, DWORD size) { return size; }, untouched));
    EXPECT_EQ(untouched, L"before");
    EXPECT_FALSE(ReadModulePath([](wchar_t*, DWORD) -> DWORD { return 0; }, untouched));

    // The real module path of this test program.
    ASSERT_TRUE(ReadModulePath(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); },
        path));
    EXPECT_TRUE(IsExistingFile(path));
}

TEST(InstallConfigModulePath, ProcessLoadLooksBesideTheRunningProgram)
{
    QuietConfig q;
    std::wstring exe;
    ASSERT_TRUE(ReadModulePath(
        [](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); },
        exe));
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    ASSERT_FALSE(IsExistingFile(folder + L"\\config\\manifest.xml"));
    EXPECT_FALSE(q.config.LoadManifest(std::wstring()));
    EXPECT_EQ(q.config.m_strExeFolder, folder);
    EXPECT_EQ(q.config.m_strManifestPath, folder + L"\\config\\manifest.xml");
}

TEST(InstallConfigModulePath, PathWithoutFolderIsRefused)
{
    InstallerFolder folder;
    ASSERT_TRUE(folder.WriteManifest(ManifestText(Body())));
    for (const wchar_t* exe : {L"PelWebInstaller.exe", L"\\PelWebInstaller.exe", L""}) {
        folder.Context().exePath = exe;
        QuietConfig q;
        EXPECT_FALSE(q.config.LoadManifestFrom(folder.Context())) << exe;
        EXPECT_EQ(q.config.m_strManifestPath, L"");
    }
}
