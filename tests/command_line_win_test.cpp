// The application's command line on Windows: splitting, keyword conversion, the option
// table of the application object, and the shut-down launch decision.
#include "app/PelMasterInstallerApp.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, FollowsThePlatformRules)
{
    EXPECT_EQ((Args{L"C:\\Program Files\\Setup.exe", L"/lang", L"", L"/s"}),
              SplitCommandLine(L"\"C:\\Program Files\\Setup.exe\" /lang \"\" /s"));
    EXPECT_EQ((Args{L"setup.exe", L"/lang", L"a b", L"\\x"}),
              SplitCommandLine(L"setup.exe   /lang \"a b\" \\x"));
    // An empty command line still yields the program path.
    Args fromEmpty = SplitCommandLine(L"");
    ASSERT_EQ(1u, fromEmpty.size());
    EXPECT_FALSE(fromEmpty[0].empty());
}

TEST(AnsiNarrow, KeywordsConvertAndLookAlikesDoNot)
{
    EXPECT_EQ("/lang", AnsiNarrow(L"/lang"));
    EXPECT_EQ("", AnsiNarrow(L""));
    // Full-width solidus and letter s: best-fit mapping would make them "/s".
    std::wstring fullWidth = L"\xFF0F\xFF53";
    std::string narrow = AnsiNarrow(fullWidth);
    EXPECT_NE("/s", narrow);
    EXPECT_EQ(2u, narrow.size());

    // Report what the code page would do without the flag (differs by code page and system).
    char raw[8] = {};
    int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, fullWidth.c_str(), 2, raw, sizeof raw,
                                  nullptr, nullptr);
    std::printf("code page %u maps full-width \"/s\" without WC_NO_BEST_FIT_CHARS to \"%.*s\"\n",
                ::GetACP(), n > 0 ? n : 0, raw);
}

TEST(ApplicationOptions, SetTheRunFlags)
{
    CPelMasterInstallerApp app;
    app.ApplyArguments({L"C:\\x\\PelWebInstaller.exe", L"/s", L"/l", L"/n", L"/lang", L"1031"});
    EXPECT_EQ(1, app.m_bSilent);
    EXPECT_EQ(1, app.m_bLaunchAfterInstall);
    EXPECT_EQ(1, app.m_bSkipValidation);
    EXPECT_EQ(L"1031", app.m_strLanguage);
    EXPECT_EQ(0, app.m_bProductInstalled);
}

TEST(ApplicationOptions, RulesApplyThroughTheApplication)
{
    CPelMasterInstallerApp capitals;
    capitals.ApplyArguments({L"x.exe", L"/S", L"/N", L"/L", L"/LANG", L"1031"});
    EXPECT_EQ(0, capitals.m_bSilent);
    EXPECT_EQ(0, capitals.m_bSkipValidation);
    EXPECT_EQ(0, capitals.m_bLaunchAfterInstall);
    EXPECT_EQ(L"", capitals.m_strLanguage);

    CPelMasterInstallerApp slash;
    slash.ApplyArguments(SplitCommandLine(L"x.exe /lang /s"));
    EXPECT_EQ(L"/s", slash.m_strLanguage);
    EXPECT_EQ(1, slash.m_bSilent);

    CPelMasterInstallerApp backslash;
    backslash.ApplyArguments(SplitCommandLine(L"x.exe /lang \\de /lang"));
    EXPECT_EQ(L"", backslash.m_strLanguage);

    CPelMasterInstallerApp twice;
    twice.ApplyArguments(SplitCommandLine(L"x.exe /lang a /lang b"));
    EXPECT_EQ(L"b", twice.m_strLanguage);

    CPelMasterInstallerApp lookAlike;
    lookAlike.ApplyArguments({L"x.exe", L"\xFF0F\xFF53"});
    EXPECT_EQ(0, lookAlike.m_bSilent);

    // /quiet is silent too; /log takes a UNC path, which other values may not start like.
    CPelMasterInstallerApp quiet;
    quiet.ApplyArguments(SplitCommandLine(L"x.exe /quiet /log \\\\server\\logs\\run.log /QUIET"));
    EXPECT_EQ(1, quiet.m_bQuiet);
    EXPECT_EQ(1, quiet.m_bSilent);
    EXPECT_EQ(L"\\\\server\\logs\\run.log", quiet.m_strLogPath);

    CPelMasterInstallerApp capitalQuiet;
    capitalQuiet.ApplyArguments(SplitCommandLine(L"x.exe /Quiet /LOG x.log"));
    EXPECT_EQ(0, capitalQuiet.m_bQuiet);
    EXPECT_EQ(0, capitalQuiet.m_bSilent);
    EXPECT_EQ(L"", capitalQuiet.m_strLogPath);
}

// Arguments quoted for a successor's command line come back unchanged from the splitter.
TEST(ApplicationOptions, QuotedArgumentsSplitBackUnchanged)
{
    const std::vector<std::wstring> arguments = {
        L"1031", L"C:\\Log Files\\run.log", L"\\\\server\\logs\\", L"a\"b", L"a\\\"b", L"", L"x y\\",
        L"tab\there", L"\\\\?\\C:\\dir with blank\\", L"\"", L"\\"};
    std::wstring line = L"x.exe";
    for (const std::wstring& argument : arguments)
        line += L" " + QuoteArgument(argument);
    const std::vector<std::wstring> split = SplitCommandLine(line.c_str());
    ASSERT_EQ(arguments.size() + 1, split.size()) << testing::PrintToString(line);
    for (size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(arguments[i], split[i + 1]) << testing::PrintToString(line);
    EXPECT_EQ(L"1031", QuoteArgument(L"1031")); // nothing to quote: left as it is
}

TEST(NewInstallerLaunch, OnlyAnExistingFileAfterRunNewInstaller)
{
    testing_support::TempFolder folder;
    std::wstring file = folder.File(L"QuilloVaroWebSetup.exe");
    ASSERT_TRUE(testing_support::WriteFileBytes(file, "MZ"));

    EXPECT_TRUE(ShouldStartNewInstaller(RunNewInstaller, file));
    EXPECT_FALSE(ShouldStartNewInstaller(ContinueInstall, file));
    EXPECT_FALSE(ShouldStartNewInstaller(StopInstall, file));
    EXPECT_FALSE(ShouldStartNewInstaller(RunNewInstaller, L""));
    EXPECT_FALSE(ShouldStartNewInstaller(RunNewInstaller, folder.File(L"missing.exe")));
    // A folder exists too, but "open" would show it in the shell rather than run anything.
    EXPECT_FALSE(ShouldStartNewInstaller(RunNewInstaller, folder.Path()));
}

TEST(NewInstallerLaunch, ExecutableBaseNameHasNoFolderOrExtension)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    std::wstring name = ExecutableBaseName();
    EXPECT_EQ(std::wstring::npos, name.find_first_of(L"\\/."));
    ASSERT_FALSE(name.empty());
    std::wstring full(path);
    EXPECT_NE(std::wstring::npos, full.find(L"\\" + name + L"."));
}

} // namespace
