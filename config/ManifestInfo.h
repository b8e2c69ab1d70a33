// The values of the install manifest and of the server's version document, as plain records
// (standard C++). Strings hold UTF-16 code units; lists keep document order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ComponentInfo
{
    std::wstring name;
    std::wstring fullUrl;
    std::wstring patchUrl;
};

struct ReleaseInfo
{
    std::wstring productVersion;
    std::wstring minWebInstallerVersion;
    std::wstring webInstallerDownloadUrl;
};

struct TransformInfo
{
    int32_t langId = 0;
    std::wstring name;
    std::wstring fullUrl;
};

struct LanguagePackInfo
{
    int32_t langId = 0;
    std::wstring pid;
    std::wstring name;
    std::wstring fullUrl;
};

struct DependencyInfo
{
    std::wstring name;
    std::wstring fullUrl;
    std::wstring installCommandLine;
};

struct LanguageEntry
{
    std::wstring displayName;
    int32_t langId = 0;
};

struct ManifestInfo
{
    std::wstring webInstallerVersion;
    std::wstring productCode;
    std::wstring pid;
    std::wstring fullName;
    std::wstring shortName;
    std::wstring registry;
    int32_t standalone = 0;
    // The manifest's value, replaced by the server's patch product version when a version
    // document carries one.
    std::wstring standaloneVersion;
    std::wstring versionCheckUrl;
    std::wstring serverProductCode;
    ReleaseInfo freshInstall;
    ReleaseInfo patchInstall;
    ComponentInfo mainComponent;
    std::vector<LanguagePackInfo> languagePacks;
    std::vector<DependencyInfo> dependencies;
    std::vector<TransformInfo> transforms;
    // Program file of the product, relative to the install folder.
    std::wstring executable;
};

struct InstalledProductInfo
{
    std::wstring version;
    std::wstring productName;
};
