// ManifestCheck: reads an install manifest exactly as the installer does and reports what the
// installer would read, skip or refuse, so that a vendor finds out before shipping.
//
//   ManifestCheck.exe <manifest.xml> [--version-doc <file>] [--language-dir <folder>]
//                     [--fill-hashes <payload folder>]
//
// With --fill-hashes it first writes the SHA-256 of every payload into the manifest (and the
// version document), then checks the result.
//
// Exit code: 0 clean, 1 warnings, 2 unusable (file missing or unreadable, not well-formed,
// wrong root, required values missing, bad arguments, a hash that could not be filled in).
#include "CheckReport.h"
#include "FileReport.h"
#include "HashFill.h"
#include "LanguageCheck.h"
#include "ManifestModel.h"
#include "ReadingOrder.h"
#include "ValueChecks.h"
#include "VersionDocCheck.h"

#include "config/DocumentMap.h"
#include "config/InstallConfig.h"
#include "xml/XmlTextFile.h"

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"usage: ManifestCheck.exe <manifest.xml> [--version-doc <file>] [--language-dir <folder>] "
    L"[--fill-hashes <payload folder>]";

struct Options
{
    std::wstring manifest;
    std::wstring versionDocument;
    std::wstring languageFolder;
    std::wstring payloadFolder;
    bool help = false;
    std::wstring error;
};

Options ParseArguments(int argc, wchar_t** argv)
{
    Options options;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            options.help = true;
        } else if (arg == L"--version-doc" || arg == L"--language-dir" ||
                   arg == L"--fill-hashes") {
            if (i + 1 >= argc || argv[i + 1][0] == L'\0') {
                options.error = arg + L" needs a value";
                break;
            }
            (arg == L"--version-doc"    ? options.versionDocument
             : arg == L"--language-dir" ? options.languageFolder
                                        : options.payloadFolder) = argv[++i];
        } else if (arg.compare(0, 2, L"--") == 0) {
            options.error = L"unknown option " + arg;
        } else if (options.manifest.empty() && !arg.empty()) {
            options.manifest = arg;
        } else {
            options.error = L"more than one manifest given: " + arg;
        }
    }
    if (options.error.empty() && !options.help && options.manifest.empty())
        options.error = L"no manifest given";
    return options;
}

// The absolute, normalised form of a path ("..\" resolved); the path itself when that fails.
std::wstring FullPath(const std::wstring& path)
{
    DWORD size = MAX_PATH;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring buffer(size, L'\0');
        const DWORD chars = ::GetFullPathNameW(path.c_str(), size, &buffer[0], nullptr);
        if (chars == 0)
            return path;
        if (chars < size) {
            buffer.resize(chars);
            return buffer;
        }
        size = chars + 1;
    }
    return path;
}

std::wstring WithTrailingBackslash(std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

// <manifest folder>\..\language\: where the installer's language folder lies relative to
// config\manifest.xml.
std::wstring DefaultLanguageFolder(const std::wstring& manifestPath)
{
    const size_t slash = manifestPath.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? L"." : manifestPath.substr(0, slash);
    return WithTrailingBackslash(FullPath(folder + L"\\..\\language"));
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Reads the manifest with the installer's own reader while recording which elements it
// visits; false when nothing further can be checked.
bool CheckManifest(CInstallConfig& config, const std::wstring& path, CCheckReport& report)
{
    report.Heading(L"Manifest file");
    report.Line(L"file: " + path);
    CDocumentMap map;
    map.LoadRead(ReadTextFile(path));
    if (!ReportDocumentFile(map, report))
        return false;

    std::vector<std::wstring> readerProblems;
    bool read = false;
    {
        CVisitRecorder visits;
        read = config.ReadManifest(path, config.m_manifest, &readerProblems);
        map.MarkVisited(visits.Starts());
    }
    if (!read) {
        report.Error(L"the installer could not read the manifest");
        return false;
    }
    if (!ReportRoot(map, report))
        return false;

    report.Heading(L"Manifest values (as the installer reads them)");
    PrintManifestValues(config.m_manifest, report);

    report.Heading(L"Manifest checks");
    const int before = report.Warnings() + report.Errors();
    ReportSkippedElements(map, ManifestReadingOrders(), report);
    CheckVisitedValues(map, ManifestReadingOrders(), report);
    CheckManifestModel(config.m_manifest, readerProblems, map, report);
    if (report.Warnings() + report.Errors() == before)
        report.Line(L"no findings");
    return true;
}

int Run(int argc, wchar_t** argv, CCheckReport& report)
{
    const Options options = ParseArguments(argc, argv);
    if (options.help) {
        report.Line(kUsage);
        return 0;
    }
    if (!options.error.empty()) {
        report.Error(options.error);
        report.Line(kUsage);
        return 2;
    }

    const std::wstring manifest = FullPath(options.manifest);
    report.Heading(L"ManifestCheck " + manifest);
    if (!options.payloadFolder.empty()) {
        report.Heading(L"Filling in hashes");
        FillHashes(WithTrailingBackslash(FullPath(options.payloadFolder)), manifest,
                   options.versionDocument.empty() ? std::wstring()
                                                   : FullPath(options.versionDocument),
                   report);
    }
    CInstallConfig config;
    if (CheckManifest(config, manifest, report)) {
        const bool explicitFolder = !options.languageFolder.empty();
        const std::wstring folder = explicitFolder
                                        ? WithTrailingBackslash(FullPath(options.languageFolder))
                                        : DefaultLanguageFolder(manifest);
        report.Heading(L"Languages offered (English, then one per language pack)");
        if (explicitFolder && !IsFolder(folder))
            report.Error(L"the language folder " + folder + L" does not exist");
        else
            ReportLanguages(config.m_manifest, folder, explicitFolder, report);

        if (!options.versionDocument.empty()) {
            report.Heading(L"Version document");
            CheckVersionDocument(config, FullPath(options.versionDocument), report);
        }
    }
    report.Summary();
    return report.ExitCode();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CCheckReport report;
    // The tool reads vendor files of any size; running out of memory on one must end in a
    // clear line and exit code 2, not an abort.
    try {
        return Run(argc, argv, report);
    } catch (const std::exception&) {
        report.Error(L"out of memory (or another internal failure) while checking; the file is "
                     L"too large to check");
        report.Flush();
        return 2;
    }
}
