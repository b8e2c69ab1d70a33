// One package the install worker plans, downloads and installs (standard C++).
#pragma once

#include <cstdint>
#include <string>

// What an item is, for the check that it really was installed: a prerequisite must be found
// by its detector afterwards, a language pack among the installed packs, and the main
// package must carry the manifest's product code before it is installed.
enum class InstallItemKind : int32_t
{
    Other,          // a transform, or an item a caller runs without checks
    Prerequisite,
    LanguagePack,
    FullPackage,    // the main package from the full address
    PatchPackage,   // the main package from the patch address
};

struct InstallItem
{
    std::wstring name;      // package name from the manifest
    std::wstring url;       // download address
    std::wstring localPath; // file downloaded to and installed from
    std::wstring arguments; // command-line arguments of a setup program
    std::wstring sha256;    // expected SHA-256 as the manifest gives it, or empty
    int32_t needsDownload = 0; // 0 or 1; 0 in a standalone build
    InstallItemKind kind = InstallItemKind::Other;
    int32_t langId = 0;     // a language pack's language
};
