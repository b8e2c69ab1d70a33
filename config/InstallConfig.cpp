#include "config/InstallConfig.h"

#include "config/FileNameRules.h"
#include "config/LanguageChoice.h"
#include "config/ManifestReader.h"
#include "config/NameCompare.h"
#include "config/ProductInfo.h"
#include "config/RegistryKey.h"
#include "config/StartDecision.h"
#include "config/VersionDocument.h"
#include "framework/RunLog.h"
#include "xml/XmlDocument.h"

#include <utility>

namespace {

// Longest path the wide Windows functions accept.
constexpr DWORD kLongestPathChars = 32768;

void ShowProblemBox(const std::wstring& text)
{
    RunMessageBox(nullptr, text, std::wstring(), MB_OK, IDOK);
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
        m_loadProblems.assign(1, L"the path of the installer cannot be read");
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
    const size_t lastBackslash = context.exePath.rfind(L'\\');
    if (lastBackslash == std::wstring::npos || lastBackslash == 0)
        return Fail(L"the installer's folder cannot be told from its path \"" + context.exePath +
                    L"\"");
    m_strExeFolder = context.exePath.substr(0, lastBackslash);
    m_strManifestPath = m_strExeFolder + L"\\config\\manifest.xml";

    ManifestInfo manifest;
    std::vector<std::wstring> problems;
    if (!ReadManifest(m_strManifestPath, manifest, &problems))
        return Fail(m_strManifestPath + L" is missing or not a well-formed XML document");
    m_manifest = std::move(manifest);
    m_loadProblems = std::move(problems);

    if (!m_manifest.standalone && !ReadReplacementManifest(context.replacementKey))
        return false;
    if (!CheckRequiredValues())
        return false;
    ChooseLanguages(context);
    DetectInstalledProduct();
    return PrepareFolders();
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

// A replacement named in the registry replaces the shipped manifest completely; one that
// names no file is ignored, one that cannot be read fails the load.
bool CInstallConfig::ReadReplacementManifest(const std::wstring& keyPath)
{
    CRegistryKey key(HKEY_CURRENT_USER, keyPath);
    const std::optional<std::wstring> path = key.QueryString(kReplacementManifestValue);
    if (!path || path->empty() || !IsExistingFile(*path))
        return true;
    m_strManifestPath = *path;
    ManifestInfo replacement;
    std::vector<std::wstring> problems;
    if (!ReadManifest(*path, replacement, &problems))
        return Fail(L"the replacement manifest " + *path +
                    L" named in the registry is not a well-formed XML document");
    m_manifest = std::move(replacement);
    m_loadProblems = std::move(problems);
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
}

bool CInstallConfig::ReadVersionDocument(const std::wstring& path)
{
    if (path.empty() || !IsExistingFile(path))
        return false;
    CXmlDocument doc;
    if (!doc.Load(path))
        return false;
    ReadVersionDocumentData(doc, m_manifest);
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
    return ::GetStartDecision(in, EqualNamesIgnoringCase);
}
