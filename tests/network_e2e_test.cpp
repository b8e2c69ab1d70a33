// Downloads of the real installer, run silently (/s) against a download site that misbehaves on
// purpose: a cut, ignored or outdated range, a stalled body, failures in a row, a missing file,
// a redirect loop, a partial file kept by a failed run, a stalled version document. Each case
// checks the exit code, the installed product, the requests the server saw and what is left in
// the download folders. Every limit is shortened through PEL_TRANSFER_LIMITS, which the installer
// inherits from this process.
#include "E2eTestSupport.h"

#include "engine/Sha256.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace driver;
using e2e::CScopedEnvironment;
using e2e::CStage;

namespace {

const wchar_t kPackage[] = L"/msi/varo_pro_70.msi";
const char kPackageLog[] = "/msi/varo_pro_70.msi";
const wchar_t kLoop[] = L"/msi/loop.msi";
// Short limits for every run, so that a retry costs milliseconds and a stall a second and a half.
const wchar_t kShortLimits[] =
    L"connect=3000,send=3000,receive=3000,stall=1500,retry=50,retry-after-max=1000,redirects=4";
const wchar_t kConnectError[] =
    L"Unable to contact the download server. Check your Internet connection and try again. If "
    L"the issue persists, please contact Customer Care.";
const DWORD kRunTimeoutMs = 120000;

// The whole file, or nullopt when it cannot be read.
std::optional<std::string> ReadAll(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = bytes.empty() ||
                    ::ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    if (!ok || read != bytes.size())
        return std::nullopt;
    return bytes;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const wchar_t* const kDownloadFolders[] = {L"component", L"msi", L"transform"};

// The files in the download folders beside a staged installer, "folder\name", by folder.
std::vector<std::wstring> DownloadFolderFiles(const std::wstring& stageFolder)
{
    std::vector<std::wstring> files;
    for (const wchar_t* folder : kDownloadFolders) {
        for (const std::wstring& name : testing_support::FileNamesIn(stageFolder + L"\\" + folder))
            files.push_back(std::wstring(folder) + L"\\" + name);
    }
    return files;
}

// Windows Installer's own copy of the installed package (it keeps one for later repairs and
// removal), empty when there is none.
std::wstring CachedPackage()
{
    wchar_t path[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (::MsiGetProductInfoW(e2e::kProductCode, INSTALLPROPERTY_LOCALPACKAGE, path, &size) != ERROR_SUCCESS)
        return std::wstring();
    return path;
}

// One request per entry, "STATUS RANGE BYTES_SENT", with " if-range" when If-Range was sent.
std::string Summary(const std::vector<testing_support::CTestServer::LoggedRequest>& requests)
{
    std::string out;
    for (const auto& r : requests) {
        out += (out.empty() ? "" : "; ") + std::to_string(r.status) + " " +
               (r.range.empty() ? std::string("-") : r.range) + " " + std::to_string(r.bytes);
        if (!r.ifRange.empty())
            out += " if-range";
    }
    return out;
}

struct SilentRun
{
    long exitCode = -1;
    DWORD elapsedMs = 0;
    std::vector<std::wstring> boxes;   // texts of the message boxes answered, in order
};

// Runs the staged installer with /s (and `arguments`) and the limits, answering each message box
// with OK.
SilentRun RunSilent(const std::wstring& exe, const std::wstring& limits, const std::wstring& arguments = L"")
{
    CScopedEnvironment environment(L"PEL_TRANSFER_LIMITS", limits);
    SilentRun run;
    CProgram installer;
    if (!installer.Start(exe, L"/s" + arguments)) {
        ADD_FAILURE() << "the installer did not start: error " << ::GetLastError();
        return run;
    }
    const DWORD start = ::GetTickCount();
    while ((run.exitCode = installer.WaitExit(50)) == -1 &&
           ::GetTickCount() - start < kRunTimeoutMs) {
        MessageBoxInfo box;
        if (!WaitMessageBox(installer.Pid(), 0, &box))
            continue;
        run.boxes.push_back(box.text);
        EXPECT_TRUE(AnswerMessageBox(box, IDOK));
        for (int i = 0; i < 100 && ::IsWindow(box.hwnd); ++i)
            ::Sleep(20);
    }
    run.elapsedMs = ::GetTickCount() - start;
    return run;
}

struct NetworkCase
{
    const char* name;
    std::vector<std::pair<std::wstring, std::wstring>> faults;   // path, rule
    std::string urlSuffix;     // appended to the package's address in the manifest
    std::wstring limits;       // after the short limits
    bool failedRunFirst;       // a run with every answer cut at N and one attempt goes first
    long exitCode;
    std::optional<std::string> packageRequests;   // Summary() of the package's requests
    int maxLoopRequests;       // bound of the requests of a redirect loop, 0 when none
    DWORD withinMs;            // bound of the run's time, 0 when none
};

} // namespace

TEST(NetworkE2e, SilentRunsRecoverFromPassingFailuresAndEndCleanlyOnLastingOnes)
{
    // Every stage's site holds the same package as the build's.
    const std::optional<std::string> site =
        ReadAll(payload_test::SitePath(L"msi\\varo_pro_70.msi"));
    ASSERT_TRUE(site && site->size() > 1000);
    const long long size = static_cast<long long>(site->size());
    const long long cut = size * 2 / 5;
    const std::wstring n = std::to_wstring(cut);
    const std::string first = "200 - " + std::to_string(cut);
    const std::string resumed = "bytes=" + std::to_string(cut) + "-";
    const std::string rest = std::to_string(size - cut);
    const std::string whole = std::to_string(size);

    const std::vector<NetworkCase> cases = {
        {"cut once: the rest is asked for from the bytes the first answer sent",
         {{kPackage, L"cut=" + n + L"&times=1"}}, "", L"", false, 0,
         first + "; 206 " + resumed + " " + rest + " if-range", 0, 0},
        {"range ignored: the second answer is the whole file",
         {{kPackage, L"cut=" + n + L"&times=1"}}, "?__norange=1", L"", false, 0,
         first + "; 200 " + resumed + " " + whole + " if-range", 0, 0},
        {"validator changed: the second answer is the whole file",
         {{kPackage, L"cut=" + n + L"&changeetag=1&times=1"}}, "", L"", false, 0,
         first + "; 200 " + resumed + " " + whole + " if-range", 0, 0},
        // The stalled answer is logged only when the server's 20 s are over: at the end of a
        // run that did not wait for it, only the resumed request is in the log.
        {"stall after N bytes: the attempt ends at the stall limit and resumes",
         {{kPackage, L"cut=" + n + L"&stall=20&times=1"}}, "", L"", false, 0,
         "206 " + resumed + " " + rest + " if-range", 0, 20000},
        {"five passing failures in a row end the download",
         {{kPackage, L"status=503&nobody=1"}}, "", L"", false, 1603,
         "503 - 0; 503 - 0; 503 - 0; 503 - 0; 503 - 0", 0, 0},
        {"a missing package is not tried again",
         {{kPackage, L"status=404&nobody=1"}}, "", L"", false, 1603, "404 - 0", 0, 0},
        // At most one chain of redirects=4 (five requests), and the loop is not tried again.
        {"a redirect loop ends",
         {{kPackage, L"redirect=" + std::wstring(kLoop)},
          {kLoop, L"redirect=" + std::wstring(kPackage)}},
         "", L"", false, 1603, std::nullopt, 5, 20000},
        {"a second run resumes what a failed run kept", {}, "", L"", true, 0,
         first + "; 206 " + resumed + " " + rest + " if-range", 0, 0},
        // A client that waited for the stalled version document would get it after 20 s; no
        // package is asked for.
        {"a stalled version document fails the self-check well before the server answers",
         {{L"/version.xml", L"stall=20"}}, "", L",receive=2000", false, 1603, "", 0, 20000},
    };

    for (const NetworkCase& c : cases) {
        SCOPED_TRACE(c.name);
        e2e::CProductCleanup cleanup;
        ASSERT_TRUE(cleanup.Held());
        CStage stage;
        ASSERT_TRUE(stage.Prepare()) << stage.Error();
        if (!c.urlSuffix.empty()) {
            ASSERT_TRUE(stage.EditManifest("</full_url>", c.urlSuffix));
        }
        const std::wstring package = stage.Folder() + L"\\msi\\varo_pro_70.msi";
        const std::wstring partial = package + L".partial";
        const std::wstring record = package + L".resume";

        if (c.failedRunFirst) {
            ASSERT_TRUE(stage.Server().SetFault(kPackage, L"cut=" + n));
            const SilentRun failed =
                RunSilent(stage.Exe(), std::wstring(kShortLimits) + L",attempts=1");
            EXPECT_EQ(failed.exitCode, 1603);
            EXPECT_EQ(failed.boxes, std::vector<std::wstring>{kConnectError});
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            ASSERT_TRUE(::GetFileAttributesExW(partial.c_str(), GetFileExInfoStandard, &data));
            EXPECT_EQ(static_cast<long long>(data.nFileSizeLow), cut) << "kept bytes";
            EXPECT_TRUE(Exists(record));
            EXPECT_FALSE(Exists(package));
            // The kept part is all that stays: no other download, no copy of the version document.
            EXPECT_EQ(DownloadFolderFiles(stage.Folder()),
                      (std::vector<std::wstring>{L"msi\\varo_pro_70.msi.partial", L"msi\\varo_pro_70.msi.resume"}));
            ASSERT_TRUE(stage.Server().ClearFaults());
        }
        for (const auto& fault : c.faults)
            ASSERT_TRUE(stage.Server().SetFault(fault.first, fault.second));

        const SilentRun run = RunSilent(stage.Exe(), kShortLimits + c.limits);
        const auto requests = stage.Server().Requests(kPackageLog);
        EXPECT_EQ(run.exitCode, c.exitCode) << stage.Server().RequestLog();
        if (c.withinMs) {
            EXPECT_LT(run.elapsedMs, c.withinMs);
        }
        if (c.packageRequests) {
            EXPECT_EQ(Summary(requests), *c.packageRequests) << stage.Server().RequestLog();
        }

        if (c.exitCode == 0) {
            EXPECT_TRUE(run.boxes.empty());
            EXPECT_EQ(e2e::ProductVersion(), L"7.0.0.1");
            const std::optional<std::string> served =
                ReadAll(stage.SiteFolder() + L"\\msi\\varo_pro_70.msi");
            ASSERT_TRUE(served);
            EXPECT_TRUE(ReadAll(CachedPackage()) == served) << "the installed package is not the site's";
            // Windows Installer keeps its own copy: the download folders are gone with everything
            // the run downloaded into them.
            for (const wchar_t* folder : kDownloadFolders) {
                EXPECT_FALSE(Exists(stage.Folder() + L"\\" + folder)) << folder;
            }
        } else {
            EXPECT_EQ(run.boxes, std::vector<std::wstring>{kConnectError});
            EXPECT_EQ(e2e::ProductVersion(), L"");
            EXPECT_FALSE(Exists(package));
            EXPECT_EQ(DownloadFolderFiles(stage.Folder()), std::vector<std::wstring>());
        }
        EXPECT_FALSE(Exists(partial));
        EXPECT_FALSE(Exists(record));

        if (c.maxLoopRequests) {
            const int loop = stage.Server().CountRequests(kPackageLog) +
                             stage.Server().CountRequests("/msi/loop.msi");
            EXPECT_LE(loop, c.maxLoopRequests) << stage.Server().RequestLog();
        }
    }
}

namespace {

// Whether a file whose name ends with `suffix` is in the folder (downloads may carry a number
// in front of their name).
bool HasFileEndingWith(const std::wstring& folder, const std::wstring& suffix)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*" + suffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return true;
}

} // namespace

// Every download of a German installation vouched for by a hash in the manifest: with the right
// hashes (and the package cut once, so that its kept part is hashed on resume) the product is
// installed; a wrong hash on any one item fails the run before anything is installed or run,
// after one more fetch of that item, and leaves none of it behind.
TEST(NetworkE2e, PayloadHashesVouchForEveryDownload)
{
    struct Item
    {
        const char* closing;     // the item's end tag in the manifest (its first occurrence)
        const char* element;     // the hash element
        std::wstring site;       // the file on the site
        std::string logged;      // its requests in the server's log
        std::wstring folder;     // where the installer keeps it, and its name's end
        std::wstring suffix;
    };
    const std::vector<Item> items = {
        {"</dependency>", "sha256", L"prereq\\vc_redist.exe", "/prereq/vc_redist.exe", L"component", L"vc_redist.exe"},
        {"</main_component>", "full_sha256", L"msi\\varo_pro_70.msi", kPackageLog, L"msi", L"varo_pro_70.msi"},
        {"</transform>", "sha256", L"transform\\1031.mst", "/transform/1031.mst", L"transform", L"1031.mst"},
        {"</language_pack>", "sha256", L"langpack\\language_pack_1031.exe", "/langpack/language_pack_1031.exe",
         L"component", L"language_pack_1031.exe"},
    };
    // -1: every hash right; else the item whose hash is wrong.
    for (int wrong = -1; wrong < static_cast<int>(items.size()); ++wrong) {
        SCOPED_TRACE(wrong < 0 ? std::string("right hashes") : std::string("wrong hash at ") + items[wrong].closing);
        e2e::CProductCleanup cleanup;
        ASSERT_TRUE(cleanup.Held());
        e2e::ForgetPrerequisites();
        CStage stage;
        ASSERT_TRUE(stage.Prepare()) << stage.Error();
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            Sha256Digest digest{};
            ASSERT_TRUE(Sha256OfFile(stage.SiteFolder() + L"\\" + items[i].site, digest));
            std::wstring text = Sha256Text(digest);
            if (i == wrong)
                text[10] = text[10] == L'0' ? L'1' : L'0';
            ASSERT_TRUE(stage.EditManifest(items[i].closing, std::string("<") + items[i].element + ">" +
                                                                 std::string(text.begin(), text.end()) + "</" +
                                                                 items[i].element + ">"));
        }
        if (wrong < 0) {
            const long long size = static_cast<long long>(ReadAll(stage.SiteFolder() + L"\\msi\\varo_pro_70.msi")->size());
            ASSERT_TRUE(stage.Server().SetFault(kPackage, L"cut=" + std::to_wstring(size / 2) + L"&times=1"));
        }

        const SilentRun run = RunSilent(stage.Exe(), kShortLimits, L" /lang 1031");
        if (wrong < 0) {
            EXPECT_EQ(run.exitCode, 0) << stage.Server().RequestLog();
            EXPECT_TRUE(run.boxes.empty());
            EXPECT_EQ(e2e::ProductVersion(), L"7.0.0.1");
            EXPECT_EQ(stage.Server().Requests(kPackageLog).size(), 2u) << stage.Server().RequestLog();
            continue;
        }
        const Item& item = items[wrong];
        EXPECT_EQ(run.exitCode, 1603) << stage.Server().RequestLog();
        EXPECT_EQ(run.boxes.size(), 1u);   // the connect error, in German
        EXPECT_EQ(e2e::ProductVersion(), L"");
        EXPECT_EQ(stage.Server().Requests(item.logged).size(), 2u) << stage.Server().RequestLog();
        EXPECT_FALSE(HasFileEndingWith(stage.Folder() + L"\\" + item.folder, item.suffix));
        EXPECT_FALSE(HasFileEndingWith(stage.Folder() + L"\\" + item.folder, item.suffix + L".partial"));
        // Nothing ran: the prerequisite's stand-in registers its runtime when it runs.
        HKEY key = nullptr;
        EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64", 0,
                                  KEY_READ | KEY_WOW64_32KEY, &key),
                  ERROR_SUCCESS);
        if (key)
            ::RegCloseKey(key);
    }
    e2e::ForgetPrerequisites();
}
