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
    // SHA-256 of the package at each address (64 hex digits), empty when not given.
    std::wstring fullSha256;
    std::wstring patchSha256;
};

struct ReleaseInfo
{
    std::wstring productVersion;
    std::wstring minWebInstallerVersion;
    std::wstring webInstallerDownloadUrl;
    std::wstring webInstallerSha256;   // SHA-256 of the installer at that address, or empty
};

struct TransformInfo
{
    int32_t langId = 0;
    std::wstring name;
    std::wstring fullUrl;
    std::wstring sha256;
};

struct LanguagePackInfo
{
    int32_t langId = 0;
    std::wstring pid;
    std::wstring name;
    std::wstring fullUrl;
    std::wstring sha256;
};

struct DependencyInfo
{
    std::wstring name;
    std::wstring fullUrl;
    std::wstring installCommandLine;
    std::wstring sha256;
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
