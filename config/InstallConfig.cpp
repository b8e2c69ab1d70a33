#include "config/InstallConfig.h"

#include "config/DocumentMap.h"
#include "config/FileNameRules.h"
#include "config/LanguageChoice.h"
#include "config/ManifestReader.h"
#include "config/ModelLogText.h"
#include "config/NameCompare.h"
#include "config/ProductInfo.h"
#include "config/ReadingOrder.h"
#include "config/RegistryKey.h"
#include "config/StartDecision.h"
#include "config/UITextFormat.h"
#include "config/VersionDocument.h"
#include "framework/RunLog.h"
#include "xml/XmlDocument.h"
#include "xml/XmlTextFile.h"

#include <exception>
#include <utility>

namespace {

// Longest path the wide Windows functions accept.
constexpr DWORD kLongestPathChars = 32768;

void ShowProblemBox(const std::wstring& text)
{
    RunMessageBox(nullptr, text, std::wstring(), MB_OK, IDOK);
}

void LogLines(const std::vector<std::wstring>& lines, const wchar_t* prefix = L"")
{
    for (const std::wstring& line : lines)
        LogLine(prefix + line);
}

// "1 problem", "2 problems".
std::wstring ProblemCount(size_t n)
{
    return std::to_wstring(n) + (n == 1 ? L" problem" : L" problems");
}

} // namespace

CInstallConfig& TheInstallConfig()
{
    // Made on first use. Start-up binds it to the application object's installed flag
    // before the manifest is loaded.
    static CInstallConfig config;
    return config;
}

bool ReadModulePath(const std::function<DWORD(wchar_t*, DWORD)>& read, std::wstring& path)
{
    for (DWORD size = kModulePathChars; size <= kLongestPathChars; size *= 2) {
        std::wstring buffer(size, L'\0');
        const DWORD chars = read(&buffer[0], size);
        if (chars == 0)
            return false;
        if (chars < size) {
            buffer.resize(chars);
            path = std::move(buffer);
            return true;
        }
    }
    return false;
}

std::wstring ReadTempFolder()
{
    DWORD size = MAX_PATH + 1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::wstring buffer(size, L'\0');
        const DWORD chars = ::GetTempPathW(size, &buffer[0]);
        if (chars == 0)
            return std::wstring();
        // A result larger than the buffer is the size needed, terminator included.
        if (chars < size) {
            buffer.resize(chars);
            return buffer;
        }
        size = chars + 1;
    }
    return std::wstring();
}

bool IsExistingFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CInstallConfig::CInstallConfig()
    : m_queryProductInfo(QueryProductInfo),
      m_reportMessage(ShowProblemBox),
      m_tickCount([] { return ::GetTickCount(); })
{
}

bool CInstallConfig::LoadManifest(const std::wstring& commandLineLanguage)
{
    ManifestLoadContext context;
    const bool havePath = ReadModulePath(
        [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); },
        context.exePath);
    if (!havePath) {
        m_bManifestRead = false;
        m_loadProblems.assign(1, L"the path of the installer cannot be read");
        LogLine(L"Manifest load failed: " + m_loadProblems[0]);
        return false;
    }
    context.commandLineLanguage = commandLineLanguage;
    context.uiLanguage = ::GetUserDefaultUILanguage();
    return LoadManifestFrom(context);
}

bool CInstallConfig::Fail(const std::wstring& problem)
{
    m_loadProblems.push_back(problem);
    return false;
}

bool CInstallConfig::LoadManifestFrom(const ManifestLoadContext& context)
{
    m_loadProblems.clear();
    m_bManifestRead = false;
    const bool loaded = LoadManifestSteps(context);
    for (const std::wstring& problem : m_loadProblems)
        LogLine(L"Manifest problem: " + problem);
    if (loaded)
        LogLine(m_loadProblems.empty()
                    ? std::wstring(L"Manifest loaded")
                    : L"Manifest loaded with " + ProblemCount(m_loadProblems.size()));
    else
        LogLine(L"Manifest load failed; the run goes on with the values read so far");
    return loaded;
}

bool CInstallConfig::LoadManifestSteps(const ManifestLoadContext& context)
{
    const size_t lastBackslash = context.exePath.rfind(L'\\');
    if (lastBackslash == std::wstring::npos || lastBackslash == 0)
        return Fail(L"the installer's folder cannot be told from its path \"" + context.exePath +
                    L"\"");
    m_strExeFolder = context.exePath.substr(0, lastBackslash);
    m_strManifestPath = m_strExeFolder + L"\\config\\manifest.xml";
    LogLine(L"Manifest file: " + m_strManifestPath);

    ManifestInfo manifest;
    std::vector<std::wstring> problems;
    std::vector<std::wstring> skipped;
    std::wstring readerLog;
    if (!ReadManifestTracked(m_strManifestPath, manifest, problems, skipped, readerLog))
        return Fail(m_strManifestPath + L" is missing or not a well-formed XML document (" +
                    readerLog + L")");
    m_manifest = std::move(manifest);
    m_loadProblems = std::move(problems);

    bool usable = true;
    if (m_manifest.standalone)
        LogLine(L"Replacement manifest: not looked for in a standalone build");
    else
        usable = ReadReplacementManifest(context.replacementKey, skipped);
    // What the model holds now is what the run works with, even after a failure.
    LogLines(ManifestValueLines(m_manifest));
    LogLines(skipped, L"Manifest warning (reading order): ");
    if (!usable || !CheckRequiredValues())
        return false;
    m_bManifestRead = true;
    ChooseLanguages(context);
    DetectInstalledProduct();
    return PrepareFolders();
}

std::wstring CInstallConfig::DamagedInstallerText() const
{
    // Without the installer's own path the manifest's is not known either.
    const std::wstring path =
        m_strManifestPath.empty() ? std::wstring(L"config\\manifest.xml") : m_strManifestPath;
    return FormatUIText(m_uiStrings.GetUIString(IDS_ERR_DAMAGED_INSTALLER), {path});
}

std::wstring CInstallConfig::MessageCaption() const
{
    if (!m_manifest.shortName.empty())
        return m_manifest.shortName;
    std::wstring path;
    ReadModulePath(
        [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); },
        path);
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return name;
}

bool CInstallConfig::ReadManifest(const std::wstring& path, ManifestInfo& info,
                                  std::vector<std::wstring>* problems) const
{
    CXmlDocument doc;
    if (!doc.Load(path))
        return false;
    ReadManifestDocument(doc, info, problems);
    return true;
}

// Reads the file once and parses it twice: into the document the reader walks, and into a
// map of all its elements, whose unvisited ones are the elements the reader skipped, worded
// by the same rules as the vendor check tool's findings. A map that cannot be had (no
// memory for a huge file) only costs the findings. On failure, readerLog says why.
bool CInstallConfig::ReadManifestTracked(const std::wstring& path, ManifestInfo& info,
                                         std::vector<std::wstring>& problems,
                                         std::vector<std::wstring>& skipped,
                                         std::wstring& readerLog) const
{
    skipped.clear();
    XmlTextRead read = ReadTextFile(path);
    CDocumentMap map;
    bool mapped = false;
    try {
        map.LoadRead(read);
        mapped = true;
    } catch (const std::exception&) {
        skipped.assign(1, L"the elements the reader skipped cannot be listed (out of memory)");
    }
    CXmlDocument doc;
    const bool wellFormed = doc.ParseLoaded(std::move(read.text), read.log);
    if (!read.success || !wellFormed) {
        readerLog = doc.GetResultLog();
        return false;
    }
    {
        CVisitRecorder visits;
        ReadManifestDocument(doc, info, &problems);
        if (mapped)
            map.MarkVisited(visits.Starts());
    }
    if (!mapped)
        return true;
    const std::vector<ElementInfo>& elements = map.Elements();
    if (!elements.empty() && !elements[0].visited)
        skipped.push_back(L"the root element `" + elements[0].name + L"` is not "
                          L"`pelwebinstaller`; nothing in the file is read");
    else
        skipped = FindSkippedElements(map, ManifestReadingOrders());
    return true;
}

// A replacement named in the registry replaces the shipped manifest completely; one that
// names no file is ignored, one that cannot be read fails the load.
bool CInstallConfig::ReadReplacementManifest(const std::wstring& keyPath,
                                             std::vector<std::wstring>& skipped)
{
    CRegistryKey key(HKEY_CURRENT_USER, keyPath);
    const std::optional<std::wstring> path = key.QueryString(kReplacementManifestValue);
    const std::wstring where =
        L"Replacement manifest: HKCU\\" + keyPath + L"\\" + kReplacementManifestValue;
    if (!path || path->empty()) {
        LogLine(where + L" names none; the shipped manifest is used");
        return true;
    }
    if (!IsExistingFile(*path)) {
        LogLine(where + L" names " + *path + L", which is no file; the shipped manifest is used");
        return true;
    }
    LogLine(where + L" names " + *path + L", which replaces the shipped manifest");
    m_strManifestPath = *path;
    ManifestInfo replacement;
    std::vector<std::wstring> problems;
    std::vector<std::wstring> replacementSkipped;
    std::wstring readerLog;
    if (!ReadManifestTracked(*path, replacement, problems, replacementSkipped, readerLog))
        return Fail(L"the replacement manifest " + *path +
                    L" named in the registry is not a well-formed XML document (" + readerLog +
                    L")");
    m_manifest = std::move(replacement);
    m_loadProblems = std::move(problems);
    skipped = std::move(replacementSkipped);
    return true;
}

bool CInstallConfig::CheckRequiredValues()
{
    bool complete = true;
    if (m_manifest.pid.empty())
        complete = Fail(L"product/pid is empty or missing");
    if (m_manifest.registry.empty())
        complete = Fail(L"product/registry is empty or missing");
    if (m_manifest.mainComponent.fullUrl.empty())
        complete = Fail(L"product/main_component/full_url is empty or missing");
    // The main package is stored in the msi folder under this name.
    if (!IsSafeFileName(m_manifest.mainComponent.name))
        complete = Fail(L"product/main_component/name \"" + m_manifest.mainComponent.name +
                        L"\" is not a plain file name");
    // Not a reason to refuse the manifest: only a newer installer is stored under it.
    if (complete && !IsSafeFileName(m_manifest.fullName + L".exe"))
        m_loadProblems.push_back(L"product/full_name \"" + m_manifest.fullName +
                                 L"\" cannot name a downloaded newer installer");
    return complete;
}

void CInstallConfig::ChooseLanguages(const ManifestLoadContext& context)
{
    m_uiStrings.SetLanguageFolder(m_strExeFolder + L"\\language\\");
    m_languages = BuildLanguageList(m_manifest.languagePacks,
                                    [this](int id) { return m_uiStrings.GetLanguageTitle(id); });
    m_uiStrings.m_nLanguageId =
        ChooseLanguageId(m_languages, context.uiLanguage, context.commandLineLanguage);
    LogLine(L"Languages offered: " + LanguageListText(m_languages));
    LogLine(L"Language chosen: " + DescribeLanguageChoice(m_languages, context.uiLanguage,
                                                          context.commandLineLanguage));
}

bool CInstallConfig::ReadVersionDocument(const std::wstring& path)
{
    if (path.empty()) {
        LogLine(L"Version document not read: no path given");
        return false;
    }
    if (!IsExistingFile(path)) {
        LogLine(L"Version document not read: " + path + L" is no file");
        return false;
    }
    CXmlDocument doc;
    if (!doc.Load(path)) {
        LogLine(L"Version document not read: " + path +
                L" is not a well-formed XML document; the reader says: " + doc.GetResultLog());
        return false;
    }
    LogLine(L"Version document: " + path);
    ReadVersionDocumentData(doc, m_manifest);
    LogLines(VersionDocumentValueLines(m_manifest));
    return true;
}

int CInstallConfig::GetStartDecision() const
{
    StartDecisionInput in;
    in.productInstalled = IsProductInstalled();
    in.installedVersion = m_installedProduct.version;
    in.installedProductName = m_installedProduct.productName;
    in.fullName = m_manifest.fullName;
    in.standalone = m_manifest.standalone != 0;
    in.standaloneVersion = m_manifest.standaloneVersion;
    in.webInstallerVersion = m_manifest.webInstallerVersion;
    in.freshMinWebInstallerVersion = m_manifest.freshInstall.minWebInstallerVersion;
    in.patchMinWebInstallerVersion = m_manifest.patchInstall.minWebInstallerVersion;
    const int decision = ::GetStartDecision(in, EqualNamesIgnoringCase);
    std::wstring facts = in.productInstalled
                             ? L"installed: " + LogQuoted(in.installedProductName) + L" " +
                                   LogQuoted(in.installedVersion) + L", offered " +
                                   LogQuoted(in.standaloneVersion)
                             : std::wstring(L"not installed");
    if (in.standalone)
        facts += L"; standalone build";
    else
        facts += L"; this installer " + LogQuoted(in.webInstallerVersion) +
                 L", server minimum " +
                 LogQuoted(in.productInstalled ? in.patchMinWebInstallerVersion
                                               : in.freshMinWebInstallerVersion);
    LogLine(L"Start decision " + std::to_wstring(decision) + L": " +
            StartDecisionMeaning(decision) + L" (" + facts + L")");
    return decision;
}
