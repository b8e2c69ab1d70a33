// One package the install worker plans, downloads and installs (standard C++).
#pragma once

#include <cstdint>
#include <string>

struct InstallItem
{
    std::wstring name;      // package name from the manifest
    std::wstring url;       // download address
    std::wstring localPath; // file downloaded to and installed from
    std::wstring arguments; // command-line arguments of a setup program
    std::wstring sha256;    // expected SHA-256 as the manifest gives it, or empty
    int32_t needsDownload = 0; // 0 or 1; 0 in a standalone build
};
