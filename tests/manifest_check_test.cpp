// The vendor check tool ManifestCheck.exe, run as a process with its output read through a
// pipe: the sample manifest, misplaced and unknown elements, values, payload hashes and
// filling them in, language files, the version document, and input it cannot use.
#include "TestSupport.h"
#include "TransferTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

struct CheckRun
{
    long exitCode = -1;
    std::wstring output;
};

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
    return text;
}

// Runs the tool with standard output and error on one pipe and reads it to the end.
CheckRun RunCheck(const std::wstring& args)
{
    CheckRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const std::wstring exe = WinePath(PEL_MANIFEST_CHECK_EXE);
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
    buffer.push_back(0);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    const BOOL started = CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, TRUE,
                                       CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return run;
    }
    CloseHandle(pi.hThread);
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(readEnd);
    run.exitCode = WaitExitCode(pi.hProcess, 60000);
    CloseHandle(pi.hProcess);
    run.output = FromUtf8(bytes);
    return run;
}

std::wstring Quote(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

std::wstring SourcePath(const std::wstring& relative)
{
    return WinePath(PEL_SOURCE_DIR) + L"\\" + relative;
}

size_t Count(const std::wstring& text, const std::wstring& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

bool Has(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

std::vector<std::wstring> WarningLines(const std::wstring& output)
{
    std::vector<std::wstring> lines;
    for (size_t at = output.find(L"  warning: "); at != std::wstring::npos;
         at = output.find(L"  warning: ", at + 1))
        lines.push_back(output.substr(at, output.find(L'\n', at) - at));
    return lines;
}

// A web build in reading order; `product` holds the given elements after registry.
std::string Manifest(const std::string& afterRegistry, const std::string& mainComponent,
                     const std::string& afterMainComponent)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<pelwebinstaller>\n"
           "  <web_installer_version>7.0.0.10</web_installer_version>\n"
           "  <product_code>{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}</product_code>\n"
           "  <product>\n"
           "    <pid>VARO-PRO-70</pid>\n"
           "    <full_name>VARO Pro</full_name>\n"
           "    <short_name>VARO</short_name>\n"
           "    <registry>SOFTWARE\\Pel Systems\\VARO Pro\\070</registry>\n" +
           afterRegistry +
           "    <version_check_url>http://127.0.0.1:8470/version.xml</version_check_url>\n"
           "    <main_component>\n"
           "      <name>varo_pro_70.msi</name>\n"
           "      <executable>VARO Pro.exe</executable>\n"
           "      <full_url>http://127.0.0.1:8470/msi/varo_pro_70.msi</full_url>\n" +
           mainComponent + "    </main_component>\n" + afterMainComponent +
           "  </product>\n"
           "</pelwebinstaller>\n";
}

std::string CleanManifest()
{
    return Manifest("", "", "");
}

class ManifestCheckTest : public testing::Test
{
protected:
    CheckRun CheckText(const std::string& manifest, const std::wstring& extra = std::wstring())
    {
        const std::wstring path = folder.File(L"manifest.xml");
        EXPECT_TRUE(WriteFileBytes(path, manifest));
        return RunCheck(Quote(path) + (extra.empty() ? L"" : L" " + extra));
    }

    TempFolder folder;
};

TEST(ManifestCheckSample, SampleManifestWithSampleLanguagesIsClean)
{
    const CheckRun run = RunCheck(Quote(SourcePath(L"sample\\config\\manifest.xml")) +
                                  L" --language-dir " + Quote(SourcePath(L"sample\\language")));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Has(run.output, L"Result: 0 errors, 0 warnings")) << run.output;
    // The model, field by field, as the installer read it.
    EXPECT_TRUE(Has(run.output, L"pid: \"VARO-PRO-70\""));
    EXPECT_TRUE(Has(run.output, L"standalone: 0 (web build)"));
    EXPECT_TRUE(Has(run.output, L"name \"webview2.exe\""));
    EXPECT_TRUE(Has(run.output, L"executable: \"VARO Pro Video Editor 7.exe\""));
    // The language list with titles from the language files, read as UTF-16.
    EXPECT_TRUE(Has(run.output, L"1033 \"English\"\r\n  1031 \"Deutsch\"\r\n  1036 \"Fran\u00e7ais\""))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"1031: " + SourcePath(L"sample\\language\\1031\\string.ini")));
}

TEST(ManifestCheckSample, DefaultLanguageFolderLiesBesideTheConfigFolder)
{
    const CheckRun run = RunCheck(Quote(SourcePath(L"sample\\config\\manifest.xml")));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Has(run.output, L"language folder: " + SourcePath(L"sample\\language\\")))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"1031 \"Deutsch\""));
    EXPECT_FALSE(Has(run.output, L"string.ini")) << "files are checked only when asked";
}

TEST_F(ManifestCheckTest, CleanManifestIsClean)
{
    const CheckRun run = CheckText(CleanManifest());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Has(run.output, L"no findings")) << run.output;
}

// standalone before registry (line 9), patch_url before full_url (line 15) and a dependency
// between two language packs (line 21): exactly these three, each with its line.
TEST_F(ManifestCheckTest, ThreeMisplacedElementsAreReportedWithTheirLines)
{
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<pelwebinstaller>\n"
        "  <web_installer_version>7.0.0.10</web_installer_version>\n"
        "  <product_code>{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}</product_code>\n"
        "  <product>\n"
        "    <pid>VARO-PRO-70</pid>\n"
        "    <full_name>VARO Pro</full_name>\n"
        "    <short_name>VARO</short_name>\n"
        "    <standalone>false</standalone>\n"
        "    <registry>SOFTWARE\\Pel Systems\\VARO Pro\\070</registry>\n"
        "    <version_check_url>http://127.0.0.1:8470/version.xml</version_check_url>\n"
        "    <main_component>\n"
        "      <name>varo_pro_70.msi</name>\n"
        "      <executable>VARO Pro.exe</executable>\n"
        "      <patch_url>http://127.0.0.1:8470/msi/patch.msi</patch_url>\n"
        "      <full_url>http://127.0.0.1:8470/msi/varo_pro_70.msi</full_url>\n"
        "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url></transform>\n"
        "      <transform><lang_id>1036</lang_id><full_url>http://h/1036.mst</full_url></transform>\n"
        "    </main_component>\n"
        "    <language_pack><lang_id>1031</lang_id><full_url>http://h/1031.exe</full_url>"
        "</language_pack>\n"
        "    <dependency>\n"
        "      <name>vc_redist.exe</name><full_url>http://h/vc_redist.exe</full_url>\n"
        "    </dependency>\n"
        "    <language_pack><lang_id>1036</lang_id><full_url>http://h/1036.exe</full_url>"
        "</language_pack>\n"
        "  </product>\n"
        "</pelwebinstaller>\n";
    const CheckRun run = CheckText(manifest);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::vector<std::wstring> warnings = WarningLines(run.output);
    ASSERT_EQ(warnings.size(), 3u) << run.output;
    EXPECT_TRUE(Has(warnings[0], L"`standalone` at line 9 comes before `registry` (line 10)"))
        << warnings[0];
    EXPECT_TRUE(Has(warnings[0], L"the installer reads `product` children in the order pid, "
                                 L"full_name, short_name, registry, standalone,"));
    EXPECT_TRUE(Has(warnings[1], L"`patch_url` at line 15 comes before `full_url` (line 16)"))
        << warnings[1];
    EXPECT_TRUE(Has(warnings[2], L"`dependency` at line 21 (with the 2 elements inside it) "
                                 L"comes before `language_pack` (line 24)"))
        << warnings[2];
    // What the installer made of it.
    EXPECT_TRUE(Has(run.output, L"patch_url \"\""));
    EXPECT_TRUE(Has(run.output, L"dependencies: 0"));
    EXPECT_TRUE(Has(run.output, L"language packs: 2"));
}

TEST_F(ManifestCheckTest, UnknownRepeatedAndMisplacedElementsAreNamed)
{
    const CheckRun run = CheckText(Manifest(
        "    <description>demo</description>\n"
        "    <registry>SOFTWARE\\Other</registry>\n",
        "",
        "    <transform><lang_id>1031</lang_id></transform>\n"
        "    <language_pack><name>no id</name><full_url>http://h/x.exe</full_url>"
        "</language_pack>\n"));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, L"`description` at line 10 is not an element the installer "
                                L"knows (inside `product`)"))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"`registry` at line 11 is a second `registry` in `product`; "
                                L"the installer reads only the first (line 9)"));
    EXPECT_TRUE(Has(run.output, L"`transform` at line 18 (with the 1 element inside it) is not "
                                L"read inside `product`; the installer reads it only inside "
                                L"`main_component`"));
    // One warning for a container without its key, none for each element inside it.
    EXPECT_TRUE(Has(run.output, L"`language_pack` at line 19 (with the 2 elements inside it) "
                                L"has no `lang_id` child: the installer skips it"));
    EXPECT_EQ(WarningLines(run.output).size(), 4u) << run.output;
}

TEST_F(ManifestCheckTest, ElementInsideAValueEmptiesIt)
{
    std::string manifest = CleanManifest();
    manifest.replace(manifest.find("<short_name>VARO</short_name>"), 29,
                     "<short_name>VARO<b>!</b></short_name>");
    const CheckRun run = CheckText(manifest);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, L"`b` at line 8 stands inside `short_name` (line 8), whose value "
                                L"the installer takes as text"))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"short_name: \"\""));
}

TEST_F(ManifestCheckTest, ValuesTheInstallerReadsDifferentlyThanMeant)
{
    const CheckRun run = CheckText(
        "<?xml version=\"1.0\"?>\n"
        "<pelwebinstaller>\n"
        "  <web_installer_version>7.0.1</web_installer_version>\n"
        "  <product>\n"
        "    <pid> VARO </pid>\n"
        "    <registry>SOFTWARE\\Pel</registry>\n"
        "    <standalone> true</standalone>\n"
        "    <version_check_url>ftp://h/version.xml</version_check_url>\n"
        "    <main_component>\n"
        "      <name>p.msi</name>\n"
        "      <full_url>http://h/p.msi</full_url>\n"
        "      <transform><lang_id>10x31</lang_id><full_url>http://h/t.mst</full_url></transform>\n"
        "    </main_component>\n"
        "    <language_pack><lang_id>1036</lang_id><full_url>http://h/l.exe</full_url>"
        "</language_pack>\n"
        "    <dependency><name>..\\evil.exe</name></dependency>\n"
        "  </product>\n"
        "</pelwebinstaller>\n");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::wstring& out = run.output;
    EXPECT_TRUE(Has(out, L"`web_installer_version` at line 3: \"7.0.1\" is not four "
                         L"dot-separated numbers; the installer compares it as 0.0.0.0"))
        << out;
    EXPECT_TRUE(Has(out, L"`pid` at line 5: the value \" VARO \" has blanks"));
    EXPECT_TRUE(Has(out, L"`standalone` at line 7: \" true\" looks meant as a standalone build"));
    EXPECT_TRUE(Has(out, L"standalone: 0 (web build)"));
    EXPECT_TRUE(Has(out, L"`version_check_url` at line 8: \"ftp://h/version.xml\" is not an "
                         L"http:// or https:// address"));
    EXPECT_TRUE(Has(out, L"`lang_id` at line 12: \"10x31\" is not a language id in plain "
                         L"decimal; the installer reads it as 10"));
    EXPECT_TRUE(Has(out, L"line 14: language pack 1036 has no transform with lang_id 1036"));
    EXPECT_TRUE(Has(out, L"dependency \"..\\evil.exe\" is not a plain file name; it is left out"));
    EXPECT_TRUE(Has(out, L"product_code is empty or missing"));
}

TEST_F(ManifestCheckTest, StandaloneSpellingsThatLookMeant)
{
    for (const char* value : {"yes", "1", "TRUE "}) {
        const CheckRun run = CheckText(Manifest(std::string("    <standalone>") + value +
                                                    "</standalone>\n",
                                                "", ""));
        EXPECT_EQ(run.exitCode, 1) << value << run.output;
        EXPECT_TRUE(Has(run.output, L"looks meant as a standalone build")) << run.output;
    }
    const CheckRun proper = CheckText(Manifest("    <standalone>True</standalone>\n"
                                               "    <standalone_version>7.0.0.1</standalone_version>\n",
                                               "", ""));
    EXPECT_EQ(proper.exitCode, 0) << proper.output;
    EXPECT_TRUE(Has(proper.output, L"standalone: 1 (standalone build)"));
}

TEST_F(ManifestCheckTest, UnknownDeclaredEncodingFallsBackToTheSystemCodePage)
{
    std::string manifest = CleanManifest();
    manifest.replace(manifest.find("UTF-8"), 5, "x-klingon");
    const CheckRun run = CheckText(manifest);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, L"the declared encoding \"x-klingon\" is not one the installer "
                                L"knows"))
        << run.output;
}

TEST_F(ManifestCheckTest, RequiredValuesMissingMakeTheManifestUnusable)
{
    std::string manifest = CleanManifest();
    manifest.replace(manifest.find("<pid>VARO-PRO-70</pid>"), 22, "<pid></pid>");
    manifest.replace(manifest.find("<name>varo_pro_70.msi</name>"), 28, "<name>a/b.msi</name>");
    const CheckRun run = CheckText(manifest);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"error: product/pid is empty or missing")) << run.output;
    EXPECT_TRUE(Has(run.output, L"error: product/main_component/name \"a/b.msi\" is not a plain "
                                L"file name"));
}

TEST_F(ManifestCheckTest, MissingFileIsUnusable)
{
    const CheckRun run = RunCheck(Quote(folder.File(L"nothing.xml")));
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"error: the file cannot be read")) << run.output;
    EXPECT_TRUE(Has(run.output, L"reader: file_error"));
}

TEST_F(ManifestCheckTest, BrokenDocumentIsUnusable)
{
    const CheckRun run = CheckText("<pelwebinstaller>\n  <product>\n    <pid>x</pid>\n"
                                   "</pelwebinstaller>\n");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"error: not a well-formed XML document")) << run.output;
    EXPECT_TRUE(Has(run.output, L"unended_start_tag tagname=\"product\"")) << run.output;
    EXPECT_TRUE(Has(run.output, L"(line 2)"));
}

TEST_F(ManifestCheckTest, EmptyFileWrongRootAndGarbageAreUnusable)
{
    EXPECT_EQ(CheckText("").exitCode, 2);
    const CheckRun wrongRoot = CheckText("<manifest><product/></manifest>");
    EXPECT_EQ(wrongRoot.exitCode, 2);
    EXPECT_TRUE(Has(wrongRoot.output, L"the root element is `manifest`, not `pelwebinstaller`"))
        << wrongRoot.output;
    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    EXPECT_EQ(CheckText(garbage).exitCode, 2);
}

TEST_F(ManifestCheckTest, BadArgumentsAreUnusable)
{
    CheckRun run = RunCheck(L"");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.output, L"usage: ManifestCheck.exe")) << run.output;
    run = RunCheck(L"a.xml --frobnicate");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.output, L"unknown option --frobnicate")) << run.output;
    run = RunCheck(L"a.xml --version-doc");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.output, L"--version-doc needs a value")) << run.output;
}

// Vendor files can be anything: a deep nest and thousands of unknown elements end in a report.
TEST_F(ManifestCheckTest, HostileDocumentsGiveAReportNotACrash)
{
    // Nested as deep as the reader allows (levels up to 65535), then deeper than that.
    auto nest = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<x>";
        for (int i = 0; i < depth; ++i)
            text += "</x>";
        return text + "\n";
    };
    CheckRun run = CheckText(Manifest(nest(60000), "", ""));
    EXPECT_EQ(run.exitCode, 1) << run.output.substr(0, 2000);
    EXPECT_TRUE(Has(run.output, L"`x` at line 10 (with the 59999 elements inside it) is not an "
                                L"element the installer knows"));
    run = CheckText(Manifest(nest(100000), "", ""));
    EXPECT_EQ(run.exitCode, 2) << run.output.substr(0, 2000);
    EXPECT_TRUE(Has(run.output, L"error: not a well-formed XML document"));

    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "<extra/>";
    run = CheckText(Manifest(many + "\n", "", ""));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Count(run.output, L"is not an element the installer knows"), 200u);
    EXPECT_TRUE(Has(run.output, L"2800 more skipped elements are not listed"));
}

// SHA-256 of "abc" and of the empty file; kAbcUpper in capitals, which counts as well.
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kAbcUpper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

struct HashCase
{
    const char* name;
    std::string afterRegistry;
    std::string mainComponent;      // after full_url (line 15 on without afterRegistry)
    std::string afterMainComponent;
    std::string versionDocument;    // checked with the manifest when not empty
    long exitCode;
    size_t errors;
    size_t warnings;
    std::vector<std::wstring> expected;
};

TEST_F(ManifestCheckTest, PayloadHashes)
{
    const std::wstring abc = Utf16(kAbc);
    const std::vector<HashCase> cases = {
        {"good hashes, in any letter case, read where they stand", "",
         "      <patch_url>http://h/p.msi</patch_url>\n"
         "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url>"
         "<sha256>" + kAbc + "</sha256></transform>\n"
         "      <full_sha256>" + kAbc + "</full_sha256>\n"
         "      <patch_sha256>" + kAbcUpper + "</patch_sha256>\n",
         "    <language_pack><lang_id>1031</lang_id><full_url>http://h/1031.exe</full_url>"
         "<sha256>" + kAbc + "</sha256></language_pack>\n"
         "    <dependency><name>vc_redist.exe</name><full_url>http://h/vc.exe</full_url>"
         "<install_commandline>/q</install_commandline><sha256>" + kAbc +
             "</sha256></dependency>\n",
         "", 0, 0, 0,
         {L"full_sha256 \"" + abc + L"\", patch_sha256 \"" + Utf16(kAbcUpper) + L"\"",
          L"full_url \"http://h/1031.mst\", sha256 \"" + abc + L"\"",
          L"full_url \"http://h/1031.exe\", sha256 \"" + abc + L"\"",
          L"install_commandline \"/q\", sha256 \"" + abc + L"\""}},
        {"malformed hashes are errors", "",
         "      <patch_url>http://h/p.msi</patch_url>\n"
         "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url>"
         "<sha256>" + kAbc.substr(0, 63) + "</sha256></transform>\n"
         "      <full_sha256> " + kAbc + "</full_sha256>\n"
         "      <patch_sha256>" + kAbc.substr(0, 63) + "g</patch_sha256>\n",
         "", "", 2, 3, 0,
         {L"error: `sha256` at line 16: \"" + abc.substr(0, 63) + L"\" is not a SHA-256 hash "
          L"of 64 hexadecimal digits (63 characters); no file matches it",
          L"error: `full_sha256` at line 17: \" " + abc + L"\" is not a SHA-256 hash of 64 "
          L"hexadecimal digits (blanks or line breaks around it)",
          L"error: `patch_sha256` at line 18: \"" + abc.substr(0, 63) + L"g\" is not a SHA-256 "
          L"hash of 64 hexadecimal digits (\"g\" is not a hexadecimal digit)"}},
        {"hashes where the installer does not read them", "",
         "      <full_sha256>" + kAbc + "</full_sha256>\n"
         "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url>"
         "</transform>\n"
         "      <sha256>" + kAbc + "</sha256>\n",
         "    <language_pack><lang_id>1031</lang_id>\n"
         "      <sha256>" + kAbc + "</sha256>\n"
         "      <full_url>http://h/1031.exe</full_url>\n"
         "    </language_pack>\n",
         "", 1, 0, 3,
         {L"`full_sha256` at line 15 comes before `transform` (line 16); the installer reads "
          L"`main_component` children in the order name (found wherever it stands, the others "
          L"only after it), executable, full_url, patch_url, then every transform, then "
          L"full_sha256, patch_sha256",
          L"`sha256` at line 17 is not read inside `main_component`; the installer reads it "
          L"only inside `transform`, `language_pack` or `dependency`",
          L"`sha256` at line 20 comes before `full_url` (line 21)"}},
        {"an empty hash, and a hash without an address", "",
         "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url>"
         "<sha256></sha256></transform>\n"
         "      <patch_sha256>" + kAbc + "</patch_sha256>\n",
         "", "", 1, 0, 2,
         {L"warning: `sha256` at line 15: the hash is empty",
          L"warning: `patch_sha256` at line 16: `main_component` has no patch_url that the "
          L"installer reads, so the installer never uses this hash"}},
        {"a standalone build checks shipped files, which need no address",
         "    <standalone>true</standalone>\n"
         "    <standalone_version>7.0.0.1</standalone_version>\n",
         "", "    <dependency><name>vc_redist.exe</name><sha256>" + kAbc +
         "</sha256></dependency>\n",
         "", 0, 0, 0, {L"install_commandline \"\", sha256 \"" + abc + L"\""}},
        {"the installer's hash in the version document", "",
         "", "",
         "<pelwebinstaller>\n"
         "  <fresh_install>\n"
         "    <product_version>7.0.0.30</product_version>\n"
         "    <web_installer_download_url>http://h/i.exe</web_installer_download_url>\n"
         "    <web_installer_sha256>xyz</web_installer_sha256>\n"
         "  </fresh_install>\n"
         "  <patch_install>\n"
         "    <web_installer_sha256>" + kAbc + "</web_installer_sha256>\n"
         "    <web_installer_download_url>http://h/i.exe</web_installer_download_url>\n"
         "  </patch_install>\n"
         "</pelwebinstaller>\n",
         2, 1, 1,
         {L"web_installer_download_url \"http://h/i.exe\", web_installer_sha256 \"xyz\"",
          L"error: `web_installer_sha256` at line 5: \"xyz\" is not a SHA-256 hash of 64 "
          L"hexadecimal digits (3 characters)",
          L"warning: `web_installer_sha256` at line 8 comes before `web_installer_download_url` "
          L"(line 9)"}},
    };
    for (const HashCase& c : cases) {
        std::wstring extra;
        if (!c.versionDocument.empty()) {
            const std::wstring versionDoc = folder.File(L"version.xml");
            ASSERT_TRUE(WriteFileBytes(versionDoc, c.versionDocument));
            extra = L"--version-doc " + Quote(versionDoc);
        }
        const CheckRun run =
            CheckText(Manifest(c.afterRegistry, c.mainComponent, c.afterMainComponent), extra);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.output;
        EXPECT_EQ(Count(run.output, L"  error: "), c.errors) << c.name << "\n" << run.output;
        EXPECT_EQ(WarningLines(run.output).size(), c.warnings) << c.name << "\n" << run.output;
        for (const std::wstring& part : c.expected)
            EXPECT_TRUE(Has(run.output, part)) << c.name << ": " << part << "\n" << run.output;
    }
}

// A manifest and a version document with a place for every hash: {name} stands for what the
// fill-in command writes there (nothing, before it ran).
const char kFillManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- VARO Pro, r\xC3\xA9vision 2 -->\n"
    "<pelwebinstaller>\n"
    "  <web_installer_version>7.0.0.10</web_installer_version>\n"
    "  <product_code>{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}</product_code>\n"
    "  <product>\n"
    "    <pid>VARO-PRO-70</pid>\n"
    "    <full_name>VARO Pro</full_name>\n"
    "    <short_name>VARO</short_name>\n"
    "    <registry>SOFTWARE\\Pel Systems\\VARO Pro\\070</registry>\n"
    "    <version_check_url>http://127.0.0.1:8470/version.xml</version_check_url>\n"
    "    <main_component>\n"
    "      <name>varo_pro_70.msi</name>\n"
    "      <executable>VARO Pro.exe</executable>\n"
    "      <full_url>http://127.0.0.1:8470/msi/varo_pro_70.msi</full_url>\n"
    "      <patch_url>http://127.0.0.1:8470/msi/varo_pro_70_patch.msi?v=2</patch_url>\n"
    "      <transform>\n"
    "        <lang_id>1031</lang_id>\n"
    "        <full_url>http://127.0.0.1:8470/transform/1031.mst</full_url>\n"
    "{transform}"
    "      </transform>\n"
    "{full}"
    "      <patch_sha256>{patch}</patch_sha256>\n"
    "    </main_component>\n"
    "    <language_pack><lang_id>1031</lang_id><full_url>http://127.0.0.1:8470/lang/"
    "pack%201031.exe</full_url>{pack}</language_pack>\n"
    "    <dependency>\n"
    "      <name>vc_redist.exe</name>\n"
    "      <full_url>http://127.0.0.1:8470/prereq/vc_redist.exe</full_url>\n"
    "{dependency}"
    "    </dependency>\n"
    "  </product>\n"
    "</pelwebinstaller>\n";

const char kFillVersionDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<pelwebinstaller>\n"
    "  <fresh_install>\n"
    "    <product_version>7.0.1.500</product_version>\n"
    "    <web_installer_download_url>http://127.0.0.1:8470/installer/PelWebInstaller.exe"
    "</web_installer_download_url>\n"
    "{fresh}"
    "  </fresh_install>\n"
    "  <patch_install>\n"
    "    <product_version>7.0.1.500</product_version>\n"
    "    <web_installer_download_url>http://127.0.0.1:8470/installer/PelWebInstaller.exe"
    "</web_installer_download_url>\n"
    "    <web_installer_sha256>{patch}</web_installer_sha256>\n"
    "  </patch_install>\n"
    "</pelwebinstaller>\n";

std::string WithValues(std::string text, const std::map<std::string, std::string>& values)
{
    for (const auto& value : values)
        text.replace(text.find("{" + value.first + "}"), value.first.size() + 2, value.second);
    return text;
}

enum class FileForm { Utf8, Utf8MarkCrLf, Utf16LeMark, Utf8WithLatin1Byte };

// The UTF-8 text in the form of a case: also the form the tool must write it back in.
std::string InForm(const std::string& utf8, FileForm form)
{
    std::string out;
    switch (form) {
    case FileForm::Utf8:
        return utf8;
    case FileForm::Utf8MarkCrLf:
        out = "\xEF\xBB\xBF";
        for (char c : utf8)
            out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    case FileForm::Utf16LeMark: {
        std::wstring text = FromUtf8(utf8);
        text.replace(text.find(L"UTF-8"), 5, L"UTF-16");
        out = "\xFF\xFE";
        for (wchar_t c : text) {
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>((c >> 8) & 0xFF);
        }
        return out;
    }
    case FileForm::Utf8WithLatin1Byte:
        // Declared UTF-8, but saved by an editor in Latin-1.
        out = utf8;
        out.replace(out.find("\xC3\xA9"), 2, "\xE9");
        return out;
    }
    return out;
}

struct FillCase
{
    const char* name;
    FileForm form;
    bool dependencyPayload;     // the dependency's file lies in the payload folder
    long exitCode;
    std::wstring message;
};

// The payloads lie partly as on the download site (msi\, prereq\, installer\), partly flat
// (1031.mst); one address is percent-encoded. Every hash lands where the installer reads it,
// indented like its siblings, and every other byte of both files stays as it was.
TEST_F(ManifestCheckTest, FillHashesFromAPayloadFolder)
{
    // SHA-256 of the payloads below, computed with python3's hashlib.
    const std::string transform =
        "f7846f55cf23e14eebeab5b4e1550cad5b509e3348fbc4efa3a1413d393cb650";
    const std::string pack = "f6627df45d846c12076961e1a67edf0396ac9bc5cb8f49ae702734bedb841f0b";
    const std::string redist = "2e6a2d199d933a4e2033aea071683af156d8a5d206dd378116f17630de54c22b";
    const std::string installer =
        "65d04d8a50f560ce18e29deb2e5bd83a288f8b840b91eb37c2460167b4d23379";
    const std::string zeros(64, '0');
    const std::vector<FillCase> cases = {
        {"UTF-8", FileForm::Utf8, true, 0, L"Result: 0 errors, 0 warnings"},
        {"UTF-8 with a mark and CR LF", FileForm::Utf8MarkCrLf, true, 0, L"written: 5 hashes"},
        {"UTF-16LE", FileForm::Utf16LeMark, true, 0, L"written: 5 hashes (4 inserted, 1 replaced)"},
        {"a payload missing", FileForm::Utf8, false, 2,
         L"line 26: dependency \"vc_redist.exe\" sha256: no file for "
         L"\"http://127.0.0.1:8470/prereq/vc_redist.exe\" in the payload folder (looked for "
         L"prereq\\vc_redist.exe, vc_redist.exe); its hash is left as it was"},
        {"bytes that are not what the file declares", FileForm::Utf8WithLatin1Byte, true, 2,
         L"re-save it as UTF-8"},
    };
    for (const FillCase& c : cases) {
        TempFolder site;
        for (const wchar_t* sub : {L"msi", L"lang", L"prereq", L"installer"})
            ASSERT_TRUE(CreateDirectoryW(site.File(sub).c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(site.File(L"msi\\varo_pro_70.msi"), "abc"));
        ASSERT_TRUE(WriteFileBytes(site.File(L"msi\\varo_pro_70_patch.msi"), ""));
        ASSERT_TRUE(WriteFileBytes(site.File(L"1031.mst"), "message digest"));
        ASSERT_TRUE(WriteFileBytes(site.File(L"lang\\pack 1031.exe"), "language pack 1031"));
        if (c.dependencyPayload) {
            ASSERT_TRUE(WriteFileBytes(site.File(L"prereq\\vc_redist.exe"), "vc redist"));
        }
        ASSERT_TRUE(WriteFileBytes(site.File(L"installer\\PelWebInstaller.exe"),
                                   "installer 7.0.0.20"));

        const std::string before = InForm(
            WithValues(kFillManifest, {{"transform", ""}, {"full", ""}, {"patch", zeros},
                                       {"pack", ""}, {"dependency", ""}}),
            c.form);
        const std::string after =
            c.form == FileForm::Utf8WithLatin1Byte
                ? before
                : InForm(WithValues(kFillManifest,
                                    {{"transform", "        <sha256>" + transform +
                                                       "</sha256>\n"},
                                     {"full", "      <full_sha256>" + kAbc + "</full_sha256>\n"},
                                     {"patch", kEmpty},
                                     {"pack", "<sha256>" + pack + "</sha256>"},
                                     {"dependency", c.dependencyPayload
                                                        ? "      <sha256>" + redist +
                                                              "</sha256>\n"
                                                        : ""}}),
                         c.form);
        const std::wstring manifest = folder.File(L"manifest.xml");
        const std::wstring versionDoc = folder.File(L"version.xml");
        ASSERT_TRUE(WriteFileBytes(manifest, before));
        ASSERT_TRUE(WriteFileBytes(
            versionDoc, WithValues(kFillVersionDocument, {{"fresh", ""}, {"patch", "x"}})));

        const CheckRun run = RunCheck(Quote(manifest) + L" --fill-hashes " + Quote(site.Path()) +
                                      L" --version-doc " + Quote(versionDoc));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.output;
        EXPECT_TRUE(Has(run.output, c.message)) << c.name << "\n" << run.output;
        EXPECT_TRUE(SameBytes(ReadFileBytes(manifest), after)) << c.name << "\n" << run.output;
        EXPECT_TRUE(SameBytes(ReadFileBytes(versionDoc),
                              WithValues(kFillVersionDocument,
                                         {{"fresh", "    <web_installer_sha256>" + installer +
                                                        "</web_installer_sha256>\n"},
                                          {"patch", installer}})))
            << c.name << "\n" << run.output;
    }
}

// In a flat folder two addresses with different paths find the same file; one of the two
// hashes would be wrong, so neither is written.
TEST_F(ManifestCheckTest, FillHashesNeverGivesTwoAddressesOneFile)
{
    TempFolder flat;
    ASSERT_TRUE(WriteFileBytes(flat.File(L"varo_pro_70.msi"), "abc"));
    const std::string manifest =
        Manifest("", "      <patch_url>http://h/patch/varo_pro_70.msi</patch_url>\n", "");
    const CheckRun run = CheckText(manifest, L"--fill-hashes " + Quote(flat.Path()));
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"main_component/full_sha256: the address "
                                L"\"http://127.0.0.1:8470/msi/varo_pro_70.msi\" and the address "
                                L"\"http://h/patch/varo_pro_70.msi\" both lead to varo_pro_70.msi"))
        << run.output;
    EXPECT_TRUE(SameBytes(ReadFileBytes(folder.File(L"manifest.xml")), manifest)) << run.output;
}

class ManifestCheckLanguageTest : public ManifestCheckTest
{
protected:
    void SetUp() override
    {
        const std::string packs =
            "    <language_pack><lang_id>1031</lang_id><full_url>http://h/1031.exe</full_url>"
            "</language_pack>\n"
            "    <language_pack><lang_id>1036</lang_id><full_url>http://h/1036.exe</full_url>"
            "</language_pack>\n"
            "    <language_pack><lang_id>1040</lang_id><full_url>http://h/1040.exe</full_url>"
            "</language_pack>\n";
        const std::string transforms =
            "      <transform><lang_id>1031</lang_id><full_url>http://h/1031.mst</full_url>"
            "</transform>\n"
            "      <transform><lang_id>1036</lang_id><full_url>http://h/1036.mst</full_url>"
            "</transform>\n"
            "      <transform><lang_id>1040</lang_id><full_url>http://h/1040.mst</full_url>"
            "</transform>\n";
        manifest = Manifest("", transforms, packs);
        languages = folder.File(L"language");
        ASSERT_TRUE(CreateDirectoryW(languages.c_str(), nullptr));
    }

    void WriteIni(int id, const std::string& bytes)
    {
        const std::wstring dir = languages + L"\\" + std::to_wstring(id);
        CreateDirectoryW(dir.c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(dir + L"\\string.ini", bytes));
    }

    static std::string Utf16LeWithMark(const std::wstring& text)
    {
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        return bytes;
    }

    std::string manifest;
    std::wstring languages;
};

TEST_F(ManifestCheckLanguageTest, BrokenStringIniIsReported)
{
    // 1031: proper. 1036: UTF-8 with a mark, an unknown key, a changed placeholder, a link in
    // the wrong section, no title. 1040: a folder where the file should be. 1033: none.
    WriteIni(1031, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Deutsch\r\n[UISTRING]\r\n"
                                   L"IDS_PRODUCT_READY=%s ist bereit\r\n"));
    // The first line is a comment: the mark makes Windows (not Wine) miss the line it stands on.
    WriteIni(1036, "\xEF\xBB\xBF; French\r\n[UISTRING]\r\nIDS_INSTALL=Installer\r\nIDS_FOO=x\r\n"
                   "IDS_PRODUCT_READY=%d est pr\xC3\xAAt\r\n"
                   "IDS_RLINK_TERMS=http://h/terms\r\n[EXTRA]\r\nA=b\r\n");
    const std::wstring folder1040 = languages + L"\\1040";
    ASSERT_TRUE(CreateDirectoryW(folder1040.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder1040 + L"\\string.ini").c_str(), nullptr));

    const CheckRun run = CheckText(manifest, L"--language-dir " + Quote(languages));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::wstring ini1036 = languages + L"\\1036\\string.ini: ";
    const std::wstring& out = run.output;
    EXPECT_TRUE(Has(out, L"1031 \"Deutsch\"")) << out;
    EXPECT_TRUE(Has(out, ini1036 + L"is UTF-8 with a byte-order mark")) << out;
    EXPECT_TRUE(Has(out, ini1036 + L"[UISTRING] IDS_FOO is not one of the installer's 39 keys"));
    EXPECT_TRUE(Has(out, ini1036 + L"[UISTRING] IDS_PRODUCT_READY has the placeholders %d "
                                   L"where the English text has %s"));
    EXPECT_TRUE(Has(out, ini1036 + L"[UISTRING] IDS_RLINK_TERMS is a link"));
    EXPECT_TRUE(Has(out, ini1036 + L"[EXTRA] is not a section the installer reads"));
    EXPECT_TRUE(Has(out, ini1036 + L"has no [LANGUAGE] Title; the language list shows \"1036\""));
    EXPECT_TRUE(Has(out, languages + L"\\1040\\string.ini: is a folder, not a file"));
    EXPECT_TRUE(Has(out, L"1033: no string.ini; the built-in English texts are shown"));
    EXPECT_FALSE(Has(out, languages + L"\\1031\\string.ini: ")) << "the proper file is clean";
    EXPECT_EQ(WarningLines(out).size(), 7u) << out;
}

TEST_F(ManifestCheckLanguageTest, KeyGivenTwice)
{
    WriteIni(1031, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Deutsch\r\n[UISTRING]\r\n"
                                   L"IDS_INSTALL=Installieren\r\nids_install=Los\r\n"));
    WriteIni(1036, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Fran\u00e7ais\r\n"));
    WriteIni(1040, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Italiano\r\n"));
    const CheckRun run = CheckText(manifest, L"--language-dir " + Quote(languages));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, L"[UISTRING] ids_install appears twice; the first counts"))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"1036 \"Fran\u00e7ais\""));
    EXPECT_EQ(WarningLines(run.output).size(), 1u) << run.output;
}

TEST_F(ManifestCheckLanguageTest, MissingStringIniAndMissingFolder)
{
    WriteIni(1031, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Deutsch\r\n"));
    WriteIni(1040, Utf16LeWithMark(L"[LANGUAGE]\r\nTitle=Italiano\r\n"));
    CheckRun run = CheckText(manifest, L"--language-dir " + Quote(languages));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, languages + L"\\1036\\string.ini: missing")) << run.output;
    EXPECT_EQ(WarningLines(run.output).size(), 1u) << run.output;

    run = CheckText(manifest, L"--language-dir " + Quote(folder.File(L"nowhere")));
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"does not exist")) << run.output;
}

TEST_F(ManifestCheckTest, VersionDocumentAndTheStartDecision)
{
    const std::wstring versionDoc = folder.File(L"version.xml");
    ASSERT_TRUE(WriteFileBytes(
        versionDoc,
        "<pelwebinstaller>\n"
        "  <product_code>{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}</product_code>\n"
        "  <patch_install><product_version>7.1.0.5</product_version></patch_install>\n"
        "  <fresh_install>\n"
        "    <product_version>7.0.0.30</product_version>\n"
        "    <min_web_installer_version>7.0.0.20</min_web_installer_version>\n"
        "    <web_installer_download_url>http://h/PelWebInstaller.exe</web_installer_download_url>\n"
        "  </fresh_install>\n"
        "</pelwebinstaller>\n"));
    const CheckRun run = CheckText(CleanManifest(), L"--version-doc " + Quote(versionDoc));
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Has(run.output, L"fresh install: product_version \"7.0.0.30\", "
                                L"min_web_installer_version \"7.0.0.20\""))
        << run.output;
    EXPECT_TRUE(Has(run.output, L"`patch_install` at line 3 (with the 1 element inside it) comes "
                                L"before `fresh_install` (line 4)"));
    EXPECT_TRUE(Has(run.output, L"standalone_version: \"\" (unchanged)"));
    EXPECT_TRUE(Has(run.output, L"start decision on a machine without the product: 2, this "
                                L"installer (\"7.0.0.10\") is older than the server's minimum "
                                L"(\"7.0.0.20\"); it downloads the current installer from "
                                L"\"http://h/PelWebInstaller.exe\""));
    EXPECT_EQ(WarningLines(run.output).size(), 1u) << run.output;
}

TEST_F(ManifestCheckTest, UnusableVersionDocument)
{
    CheckRun run = CheckText(CleanManifest(), L"--version-doc " + Quote(folder.File(L"no.xml")));
    EXPECT_EQ(run.exitCode, 2) << run.output;
    const std::wstring broken = folder.File(L"broken.xml");
    ASSERT_TRUE(WriteFileBytes(broken, "<pelwebinstaller><fresh_install></pelwebinstaller>"));
    run = CheckText(CleanManifest(), L"--version-doc " + Quote(broken));
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_TRUE(Has(run.output, L"not a well-formed XML document")) << run.output;
}

} // namespace
