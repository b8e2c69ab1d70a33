// The install model: what the manifest says, where things are stored locally, which
// languages are offered, where the product goes, and whether it is installed already.
// One process-wide instance (TheInstallConfig) is filled at start-up and read by the rest
// of the run. It has no lock: its writers (start-up, the settings panel, the version
// document) run before their readers.
#pragma once

#include <windows.h>

#include "config/ManifestInfo.h"
#include "config/UIStrings.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// HKEY_CURRENT_USER key and value that may name a replacement manifest, so that a vendor can
// try a manifest on a machine without rebuilding the installer.
inline constexpr wchar_t kReplacementManifestKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070";
inline constexpr wchar_t kReplacementManifestValue[] = L"WebInstallerManifest";

inline constexpr wchar_t kDefaultInstallFolder[] = L"C:\\Program Files\\Pel Systems";

// The characters GetModuleFileNameW is first given; longer paths are read again with more room.
constexpr DWORD kModulePathChars = 512;

// What the manifest load takes from the running process. LoadManifest fills it from the
// process and the application object; tests pass their own.
struct ManifestLoadContext
{
    std::wstring exePath;             // full path of the running executable
    std::wstring commandLineLanguage; // the /lang value
    int uiLanguage = 1033;            // the user's default UI language
    std::wstring replacementKey = kReplacementManifestKey;
};

class CInstallConfig
{
public:
    using ProductInfoQuery =
        std::function<UINT(const std::wstring& productCode, const wchar_t* attribute,
                           std::wstring& value)>;
    using MessageReporter = std::function<void(const std::wstring& text)>;
    using TickSource = std::function<DWORD()>;

    CInstallConfig();
    CInstallConfig(const CInstallConfig&) = delete;
    CInstallConfig& operator=(const CInstallConfig&) = delete;

    // Loads the manifest beside the running executable, with the /lang value of the command
    // line and the user's UI language as language inputs.
    bool LoadManifest(const std::wstring& commandLineLanguage);
    // The load itself. At each failure it stops, leaves the model as far as it was filled,
    // and says why in GetLoadProblems. The run log gets the manifest's path, every value
    // read, each element the reader skipped (a warning with its line), each problem, the
    // languages, the installed product and the folders.
    bool LoadManifestFrom(const ManifestLoadContext& context);

    // Reads one manifest file into info; true when the file loaded as a well-formed
    // document (a document with another root reads as empty and still succeeds).
    bool ReadManifest(const std::wstring& path, ManifestInfo& info,
                      std::vector<std::wstring>* problems = nullptr) const;

    // Reads the server's version document into the manifest values. False, with the model
    // unchanged, when the path is empty, names no file, or the file is not well-formed.
    // The run log gets the path and the values read, or why nothing was read.
    bool ReadVersionDocument(const std::wstring& path);

    std::vector<LanguageEntry> GetLanguages() const { return m_languages; }

    // Local path for a downloaded file: the component folder and the name, with a stamp
    // between them in a web build so that each download gets a file of its own. Empty when
    // the name is not a plain file name.
    std::wstring GetDownloadPath(const std::wstring& name);
    // The download path of a language pack's setup program ("language_pack_%d.exe").
    std::wstring GetLanguagePackPath(int langId);
    // msi folder + main component name; empty when that name is not a plain file name.
    std::wstring GetMainPackagePath() const;
    // transform folder + id + ".mst".
    std::wstring GetTransformPath(int langId) const;
    // A fresh folder under the temporary folder + full name + ".exe", for a newer installer;
    // empty when the folder cannot be had or the full name cannot be a file name.
    std::wstring GetNewInstallerPath();
    // In a web build, removes the component, msi and transform folders that are empty (one
    // with anything in it stays), each with a line in the run log. A standalone build's
    // folders are the vendor's and stay.
    void RemoveEmptyDownloadFolders();

    // The start decision over the model (0 go on, 1 installed and up to date, 2 installer
    // too old, 3 installed but unknown, 6 another product under this product code), logged
    // with its meaning and the versions it compared.
    int GetStartDecision() const;

    // Installed-product detection.
    InstalledProductInfo GetInstalledProductInfo(const std::wstring& productCode) const;
    void DetectInstalledProduct();
    std::vector<int> GetInstalledLanguagePacks() const;
    std::wstring GetInstalledExecutable() const;

    // Why the last load failed, and what it left out (for the vendor's check tool).
    const std::vector<std::wstring>& GetLoadProblems() const { return m_loadProblems; }
    // False after a load that did not get a complete manifest (none, empty, unreadable, not
    // well-formed, a required value missing): the model holds no server to ask, and the run
    // must say that the installer itself is damaged. A model filled without a load counts
    // as read.
    bool IsManifestRead() const { return m_bManifestRead; }
    // IDS_ERR_DAMAGED_INSTALLER with the manifest's path.
    std::wstring DamagedInstallerText() const;
    // The caption of the run's message boxes: the short name, or without one (no manifest)
    // the executable's file name without its extension.
    std::wstring MessageCaption() const;

    // The installed flag lives on the application object; the process-wide instance is bound
    // to it. An unbound object uses a flag of its own.
    void BindProductInstalledFlag(int* flag) { m_pProductInstalled = flag ? flag : &m_bOwnFlag; }
    bool IsProductInstalled() const { return *m_pProductInstalled != 0; }

    // Replaceable process services, for tests.
    void SetProductInfoQuery(ProductInfoQuery query) { m_queryProductInfo = std::move(query); }
    void SetMessageReporter(MessageReporter reporter) { m_reportMessage = std::move(reporter); }
    void SetTickSource(TickSource ticks) { m_tickCount = std::move(ticks); }

    // The model.
    std::wstring m_strExeFolder;
    ManifestInfo m_manifest;
    InstalledProductInfo m_installedProduct;
    std::wstring m_strManifestPath;
    std::wstring m_strComponentFolder;
    std::wstring m_strMsiFolder;
    std::wstring m_strTransformFolder;
    std::wstring m_strHomePageUrl;
    CUIStrings m_uiStrings;
    std::vector<LanguageEntry> m_languages;
    std::wstring m_strInstallFolder = kDefaultInstallFolder;

private:
    bool LoadManifestSteps(const ManifestLoadContext& context);
    bool ReadManifestTracked(const std::wstring& path, ManifestInfo& info,
                             std::vector<std::wstring>& problems,
                             std::vector<std::wstring>& skipped,
                             std::wstring& readerLog) const;
    bool ReadReplacementManifest(const std::wstring& keyPath, std::vector<std::wstring>& skipped);
    bool CheckRequiredValues();
    void ChooseLanguages(const ManifestLoadContext& context);
    bool PrepareFolders();
    bool Fail(const std::wstring& problem);
    std::wstring NextStamp();

    std::vector<std::wstring> m_loadProblems;
    bool m_bManifestRead = true;
    int m_bOwnFlag = 0;
    int* m_pProductInstalled = &m_bOwnFlag;
    ProductInfoQuery m_queryProductInfo;
    MessageReporter m_reportMessage;
    TickSource m_tickCount;
    std::mutex m_stampLock;
    bool m_bStampIssued = false;
    DWORD m_lastStamp = 0;
};

// The process-wide install model. Start-up binds it to the application object's installed
// flag (BindProductInstalledFlag); code below the application reads IsProductInstalled().
CInstallConfig& TheInstallConfig();

// Reads a module path through read(buffer, size), which behaves like GetModuleFileNameW: a
// result equal to size means the path did not fit. The buffer starts at kModulePathChars and
// grows up to the longest path Windows has; false when the call fails or the path never fits,
// so that no cut path is ever used.
bool ReadModulePath(const std::function<DWORD(wchar_t*, DWORD)>& read, std::wstring& path);

// The temporary folder (GetTempPathW) read whole however long it is; empty on failure.
std::wstring ReadTempFolder();

// A file that exists and is not a folder; a folder that exists.
bool IsExistingFile(const std::wstring& path);
bool IsExistingFolder(const std::wstring& path);
