#include "engine/InstallWorker.h"

#include "config/InstallConfig.h"
#include "config/RegistryKey.h"
#include "config/UITextFormat.h"
#include "engine/DownloadCleanup.h"
#include "engine/HttpTransfer.h"
#include "engine/InstallStatus.h"
#include "engine/PackageInstaller.h"
#include "engine/Prerequisites.h"
#include "engine/ProgramTrust.h"
#include "engine/Sha256.h"
#include "framework/RunLog.h"

#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kRecheckCaption[] = L"Windows Installer";
constexpr wchar_t kResourceLangKey[] = L"SOFTWARE\\Pel Systems\\ResourceLangID\\";
constexpr wchar_t kCompanionProgram[] = L"pelCompanion2.exe";
constexpr int kDefaultLanguage = 1033;

// Start decisions of the re-check that stop the installation with a message.
constexpr int kDecisionInstalledAlready = 1;
constexpr int kDecisionInstallerTooOld = 2;
constexpr int kDecisionAnotherVersion = 6;

// Weights of the item kinds (download, install).
constexpr uint32_t kPrerequisiteWeight = 40;
constexpr uint32_t kPackageWeight = 50;
constexpr uint32_t kLanguageWeight = 5;

bool KeyExistsIn(HKEY root, const std::wstring& path, REGSAM view)
{
    CKeyHandle key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Receive()) == ERROR_SUCCESS;
}

// The patch address is used on machines where the product's client is present.
bool ClientKeyExists(const std::wstring& registryPath)
{
    const std::wstring path = registryPath + L"\\LClient";
    return KeyExistsIn(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY) ||
           KeyExistsIn(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY);
}

// Runs one stage of the task between two lines of the run log.
template <typename Stage>
bool LoggedStage(const wchar_t* name, Stage stage)
{
    LogLine(std::wstring(L"Stage ") + name + L" started");
    const bool ok = stage();
    LogLine(std::wstring(L"Stage ") + name + (ok ? L" ended: ok" : L" ended: not completed"));
    return ok;
}

} // namespace

int32_t DownloadPercent(uint64_t received, uint64_t total)
{
    if (total == 0)
        return 0;
    if (received >= total)
        return 100;
    return static_cast<int32_t>(received * 100u / total);
}

int32_t NextDownloadPercent(int32_t shown, uint64_t received, uint64_t total)
{
    return std::max(shown, DownloadPercent(received, total));
}

CInstallWorker::CInstallWorker()
    : m_cancelEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_runEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr))
{
}

CInstallWorker::~CInstallWorker()
{
    if (m_task.valid())
        m_task.wait();
}

bool CInstallWorker::Start()
{
    if (m_started)
        return false;
    m_started = true;
    BuildInstallItems();
    EnsureInternetRoot();
    try {
        m_task = LaunchTask([this] { RunWorker(); });
    } catch (const std::exception& e) {
        // No thread to be had (out of resources): nothing can be installed. The run ends
        // as failed through the status, as any other failure does.
        const std::string what = e.what();
        TraceLine(L"TRACE_DEBUG: the install worker cannot start: " +
                  std::wstring(what.begin(), what.end()) + L"\r\n");
        InstallStatus::Instance().SetStatus(Failed, -1, 0);
        return false;
    }
    return true;
}

std::future<void> CInstallWorker::LaunchTask(std::function<void()> work)
{
    return std::async(std::launch::async, std::move(work));
}

bool CInstallWorker::WaitUntilDone(DWORD timeoutMs) const
{
    if (!m_task.valid())
        return true;
    return m_task.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

void CInstallWorker::PauseTransfers()
{
    if (m_runEvent)
        ResetEvent(m_runEvent.Get());
}

void CInstallWorker::ResumeTransfers()
{
    if (m_runEvent)
        SetEvent(m_runEvent.Get());
}

void CInstallWorker::Cancel()
{
    if (m_cancelEvent && m_runEvent) {
        InstallStatus::Instance().SetStatus(Cancelling, -1, 0);
        SetEvent(m_cancelEvent.Get());
        // A paused transfer wakes up and sees the cancellation.
        SetEvent(m_runEvent.Get());
    } else {
        InstallStatus::Instance().SetStatus(Cancelled, -1, 0);
    }
    m_state.progress.installerCancel = true;
    m_cancelRequested = true;
}

void CInstallWorker::AddItem(InstallItem item, uint32_t downloadWeight, uint32_t installWeight)
{
    item.needsDownload = TheInstallConfig().m_manifest.standalone ? 0 : 1;
    if (item.needsDownload)
        m_downloadWeights.push_back(downloadWeight);
    m_installWeights.push_back(installWeight);
    m_items.push_back(std::move(item));
}

void CInstallWorker::BuildInstallItems()
{
    CInstallConfig& config = TheInstallConfig();
    const ManifestInfo& manifest = config.m_manifest;
    m_items.clear();
    m_downloadWeights.clear();
    m_installWeights.clear();

    for (const DependencyInfo& dependency : manifest.dependencies) {
        if (IsPrerequisiteInstalled(dependency.name))
            continue;
        AddItem({dependency.name, dependency.fullUrl, config.GetDownloadPath(dependency.name),
                 dependency.installCommandLine, dependency.sha256, 0, InstallItemKind::Prerequisite},
                kPrerequisiteWeight, kPrerequisiteWeight);
    }

    const ComponentInfo& main = manifest.mainComponent;
    std::wstring url = ClientKeyExists(manifest.registry) ? main.patchUrl : std::wstring();
    std::wstring sha256 = main.patchSha256;
    InstallItemKind kind = InstallItemKind::PatchPackage;
    if (url.empty()) {
        url = main.fullUrl;
        sha256 = main.fullSha256;
        kind = InstallItemKind::FullPackage;
    }
    AddItem({main.name, url, config.GetMainPackagePath(), std::wstring(), sha256, 0, kind}, kPackageWeight,
            kPackageWeight);

    const int language = config.m_uiStrings.m_nLanguageId;
    const auto transform =
        std::find_if(manifest.transforms.begin(), manifest.transforms.end(),
                     [language](const TransformInfo& t) { return t.langId == language; });
    if (transform != manifest.transforms.end())
        AddItem({transform->name, transform->fullUrl, config.GetTransformPath(language),
                 std::wstring(), transform->sha256},
                kLanguageWeight, kLanguageWeight);

    if (config.IsProductInstalled()) {
        for (int id : config.GetInstalledLanguagePacks())
            AddLanguagePackItem(id);
    } else if (language != kDefaultLanguage) {
        AddLanguagePackItem(language);
    }

    InstallStatus::Instance().SetWeights(m_downloadWeights, m_installWeights);
}

void CInstallWorker::AddLanguagePackItem(int langId)
{
    CInstallConfig& config = TheInstallConfig();
    const auto& packs = config.m_manifest.languagePacks;
    const auto pack = std::find_if(packs.begin(), packs.end(),
                                   [langId](const LanguagePackInfo& p) { return p.langId == langId; });
    if (pack == packs.end())
        return;
    AddItem({pack->name, pack->fullUrl, config.GetLanguagePackPath(langId), L"/s", pack->sha256, 0,
             InstallItemKind::LanguagePack, langId},
            kLanguageWeight, kLanguageWeight);
}

void CInstallWorker::RunWorker()
{
    InstallStatus& status = InstallStatus::Instance();
    CInstallConfig& config = TheInstallConfig();
    if (LoggedStage(L"recheck", [this] { return RecheckVersion(); }) &&
        LoggedStage(L"downloads", [this] { return DownloadItems(); }) &&
        LoggedStage(L"installs", [this] { return InstallItems(); }) &&
        LoggedStage(L"registry", [this] { return WriteInstallRegistry(); })) {
        config.m_strHomePageUrl = m_state.homePageUrl;
        status.SetStatus(Finished, -1, 0);
    } else if (status.GetState() != Cancelling) {
        if (m_state.failureKind == kFailureServerUnusable) {
            const std::wstring text =
                config.IsManifestRead()
                    ? config.m_uiStrings.GetUIString(IDS_ERR_CONNECT_DOWNLOAD_SERVER)
                    : config.DamagedInstallerText();
            RunMessageBox(nullptr, text, config.MessageCaption(), MB_ICONERROR, IDOK);
        }
        status.SetStatus(Failed, -1, 0);
    }
    // A cancellation confirmed at any point wins over the stage results.
    if (status.GetState() == Cancelling)
        status.SetStatus(Cancelled, -1, 0);
    const uint32_t state = status.GetState();
    RemoveRunDownloads(config, m_fetchedPaths, state == Finished);
    LogLine(std::wstring(L"Installation ") +
            (state == Finished ? L"Finished" : state == Cancelled ? L"Cancelled" : L"Failed"));
}

bool CInstallWorker::RecheckVersion()
{
    CInstallConfig& config = TheInstallConfig();
    // Without a complete manifest there is no server to ask, and nothing to install.
    if (!config.IsManifestRead()) {
        LogLine(L"Recheck: the manifest was not read; the server is not asked");
        m_state.failureKind = kFailureServerUnusable;
        return false;
    }
    if (!config.m_manifest.standalone) {
        const std::wstring path = config.GetDownloadPath(L"version.xml");
        CDownloadJob job(config.m_manifest.versionCheckUrl, path);
        job.SetMaxAttempts(GetTransferLimits().versionAttempts);
        const bool read = !path.empty() && job.Run(this, [](const DownloadStatusInfo&) {}) != 0 &&
                          config.ReadVersionDocument(path);
        RemoveVersionDocumentCopy(path);
        if (!read) {
            m_state.failureKind = kFailureServerUnusable;
            return false;
        }
    }

    const int decision = config.GetStartDecision();
    if (decision == 0)
        return true;
    std::wstring text;
    if (decision == kDecisionInstalledAlready)
        text = FormatUIText(config.m_uiStrings.GetUIString(IDS_ERR_INSTALLED_ALREADY),
                            {config.m_manifest.shortName});
    else if (decision == kDecisionInstallerTooOld)
        text = config.m_uiStrings.GetUIString(IDS_ERR_CLIENT_TOO_OLD);
    else if (decision == kDecisionAnotherVersion)
        text = config.m_uiStrings.GetUIString(IDS_ERR_INSTALLED_ANOTHER_VERSION);
    if (!text.empty())
        RunMessageBox(m_state.ownerWindow, text, kRecheckCaption, MB_ICONERROR | MB_OKCANCEL, IDCANCEL);
    return false;
}

bool CInstallWorker::DownloadItems()
{
    InstallStatus& status = InstallStatus::Instance();
    int32_t index = 0;
    for (const InstallItem& item : m_items) {
        if (m_cancelRequested)
            return false;
        if (!item.needsDownload)
            continue;
        // A name that cannot be a local file leaves the path empty: nothing can be
        // downloaded for it, and the package would be missing from the product.
        if (item.localPath.empty())
            return false;
        int32_t shown = 0;
        bool waiting = false;
        m_fetchedPaths.push_back(item.localPath);
        CDownloadJob job(item.url, item.localPath);
        job.SetExpectedSha256(item.sha256);
        const uint32_t result = job.Run(this, [&](const DownloadStatusInfo& info) {
            // While the job waits to retry, the panel says so and counts down;
            // the first report after the wait ends it.
            if (info.state == TransferRetrying) {
                status.SetRetryWait(info.retryDelayMs);
                waiting = true;
            } else if (waiting) {
                status.SetRetryWait(0);
                waiting = false;
            }
            shown = NextDownloadPercent(shown, info.received, info.total);
            status.SetStatus(Downloading, index, shown);
        });
        if (waiting)
            status.SetRetryWait(0);
        if (result == 0) {
            m_state.failureKind = kFailureServerUnusable;
            return false;
        }
        status.SetStatus(Downloading, index, 100);
        ++index;
    }
    return true;
}

bool CInstallWorker::InstallItems()
{
    InstallStatus& status = InstallStatus::Instance();
    int32_t& index = m_state.progress.currentItemIndex;
    index = 0;
    // Every file with a hash is held against writers until all packages are
    // installed (the package that applies a transform reads it then), and
    // checked once it is held: the download folders beside the installer are
    // open to others, and a file may have changed since it arrived (a shipped
    // file is checked here for the first time).
    std::vector<CFileHandle> held;
    for (const InstallItem& item : m_items) {
        if (item.sha256.empty() || item.localPath.empty() || !PathFileExistsW(item.localPath.c_str()))
            continue;
        held.push_back(HoldProgramFile(item.localPath));
        if (!held.back().IsValid() || !FileMatchesSha256(item.localPath, item.sha256)) {
            TraceLine(L"TRACE_DEBUG: " + item.localPath + L" does not match its hash\r\n");
            return false;
        }
    }
    for (const InstallItem& item : m_items) {
        if (m_cancelRequested)
            return false;
        // An empty path would be looked up as "" and the item skipped as if its
        // download had been dropped on purpose; a plan without a file is a failure.
        if (item.localPath.empty())
            return false;
        if (!PathFileExistsW(item.localPath.c_str())) {
            // A downloaded file that is gone, or a standalone build without its main package,
            // would end as "installed" without the product; a standalone build may leave out
            // a prerequisite, transform or language pack it does not ship.
            const bool needed = item.needsDownload || item.localPath == TheInstallConfig().GetMainPackagePath();
            LogLine((needed ? L"Missing, the installation fails: " : L"Not shipped, skipped: ") + item.localPath);
            if (needed)
                return false;
            continue;
        }
        status.SetStatus(Installing, index, 0);
        if (!InstallPackage(m_state, item))
            return false;
        status.SetStatus(Installing, index, 100);
        ++index;
    }
    return true;
}

bool CInstallWorker::WriteInstallRegistry()
{
    CInstallConfig& config = TheInstallConfig();
    if (config.IsProductInstalled())
        return true;
    std::wstring& installFolder = config.m_strInstallFolder;
    while (!installFolder.empty() && installFolder.back() == L'\\')
        installFolder.pop_back();
    const std::wstring exePath = installFolder + L"\\" + config.m_manifest.executable;
    const std::wstring& registryPath = config.m_manifest.registry;

    // The product's program must be where the registry is to say it is: a package that went
    // to another folder (or left the program out) did not install the product as planned.
    if (!IsExistingFile(exePath)) {
        LogLine(L"The installed program is not where it is to be registered: " + exePath);
        return false;
    }
    std::wstring folder;
    const size_t lastSlash = exePath.rfind(L'\\');
    if (lastSlash != 0 && lastSlash != std::wstring::npos) {
        folder = exePath.substr(0, lastSlash + 1);
        CRegistryKey product(HKEY_LOCAL_MACHINE, registryPath);
        product.SetString(L"InstallDir", folder);
        product.SetString(L"exe", exePath);
    }

    const int language = config.m_uiStrings.m_nLanguageId;
    if (language != kDefaultLanguage) {
        CRegistryKey packs(HKEY_LOCAL_MACHINE, registryPath + L"\\LanguagePacks");
        packs.SetDword(L"InitialLangID", static_cast<DWORD>(language));
        CRegistryKey user(HKEY_CURRENT_USER, registryPath);
        user.SetDword(L"ApplicationLanguage", static_cast<DWORD>(language));
        if (!folder.empty()) {
            CRegistryKey resources(HKEY_CURRENT_USER, kResourceLangKey);
            resources.SetString((folder + kCompanionProgram).c_str(), std::to_wstring(language));
        }
    }
    return true;
}
